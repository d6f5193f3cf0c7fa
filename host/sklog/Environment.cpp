#include "Environment.h"

#include <windows.h>

namespace sklog {

std::optional<std::wstring> ReadEnvironmentVariable(const wchar_t* name)
{
    std::wstring value(64, L'\0');
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD length = GetEnvironmentVariableW(name, &value[0], static_cast<DWORD>(value.size()));
        if (length == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND)
                return std::nullopt;
            return std::wstring();
        }
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        // Too small: length is the size needed, terminator included. The variable
        // may grow between calls, hence the loop.
        value.resize(length);
    }
}

} // namespace sklog
