#pragma once
// A record as written to the log file or standard error: one UTF-8 line,
//   2026-12-06 01:02:03.456 T1234 293/3 text
// ending with exactly one '\n' whatever line breaks the text ends with.

#include <windows.h>

#include <string>

namespace sklog {

std::string ComposeRecordLine(const SYSTEMTIME& localTime, unsigned long threadId, unsigned int module,
                              unsigned int level, const std::wstring& text);

} // namespace sklog
