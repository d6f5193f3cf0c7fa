#include "common/Progress.h"

#include "common/Timing.h"

#include <windows.h>

#include <cstdio>

bool ErrorsGoToTerminal()
{
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return error && error != INVALID_HANDLE_VALUE &&
           (GetConsoleMode(error, &mode) || GetFileType(error) == FILE_TYPE_CHAR);
}

Progress::Progress(bool wanted) : _enabled(wanted && ErrorsGoToTerminal()) {}

void Progress::Show(const std::string& text)
{
    const double now = Now();
    if (!_enabled || (_shown && now - _last < 0.1))
        return;
    _last = now;
    const size_t padding = _width > text.size() ? _width - text.size() : 0;
    std::fprintf(stderr, "\r%s%*s", text.c_str(), static_cast<int>(padding), "");
    std::fflush(stderr);
    _width = text.size();
    _shown = true;
}

void Progress::Clear()
{
    if (!_shown)
        return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(_width), "");
    std::fflush(stderr);
    _shown = false;
    _width = 0;
}
