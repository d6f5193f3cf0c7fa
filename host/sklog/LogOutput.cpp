#include "LogOutput.h"

#include "Environment.h"
#include "ExclusiveLock.h"

#include <climits>

namespace sklog {
namespace {

void WriteAll(HANDLE handle, const std::string& bytes)
{
    const char* next = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const DWORD chunk = left > static_cast<size_t>(INT_MAX) ? static_cast<DWORD>(INT_MAX) : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(handle, next, chunk, &written, nullptr) || written == 0)
            return; // nowhere to report it: the record is lost
        next += written;
        left -= written;
    }
}

} // namespace

LogOutput& LogOutput::Instance()
{
    static LogOutput instance;
    return instance;
}

LogOutput::~LogOutput()
{
    CloseFile();
}

void LogOutput::Start()
{
    ExclusiveLock hold(_lock);
    if (_openCount.load(std::memory_order_relaxed) == 0) {
        // A new session: use the file named now, not one opened on demand earlier.
        CloseFile();
        ChooseDestination();
    }
    _openCount.fetch_add(1, std::memory_order_release);
}

void LogOutput::End()
{
    ExclusiveLock hold(_lock);
    const int count = _openCount.load(std::memory_order_relaxed);
    if (count == 0)
        return; // an End without its Start
    _openCount.store(count - 1, std::memory_order_release);
    if (count == 1)
        CloseFile();
}

void LogOutput::Write(const std::string& line)
{
    ExclusiveLock hold(_lock);
    if (!_chosen)
        ChooseDestination();
    if (_file != INVALID_HANDLE_VALUE) {
        WriteAll(_file, line);
        return;
    }
    const HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    if (standardError != nullptr && standardError != INVALID_HANDLE_VALUE)
        WriteAll(standardError, line);
}

void LogOutput::ChooseDestination()
{
    _chosen = true;
    const auto path = ReadEnvironmentVariable(L"VELTRA_LOG_FILE");
    if (!path || path->empty())
        return;
    // Appending writes land at the end of the file even when another process
    // appends to it too; readers may look at the file while it is open.
    _file = CreateFileW(path->c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void LogOutput::CloseFile()
{
    if (_file != INVALID_HANDLE_VALUE)
        CloseHandle(_file);
    _file = INVALID_HANDLE_VALUE;
    _chosen = false;
}

} // namespace sklog
