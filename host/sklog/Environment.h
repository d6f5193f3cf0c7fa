#pragma once
// Reads the process environment through Win32, so values set with
// SetEnvironmentVariableW are seen (the C runtime keeps its own copy).

#include <optional>
#include <string>

namespace sklog {

std::optional<std::wstring> ReadEnvironmentVariable(const wchar_t* name);

} // namespace sklog
