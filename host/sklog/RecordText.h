#pragma once
// Formats a record's text the way the Windows runtime's wide printf does:
// %s is a wide string, %hs a narrow one.

#include <cstdarg>
#include <cstddef>
#include <string>

namespace sklog {

// Longer texts are cut to this many characters, the last ones being the marker.
constexpr size_t MaxRecordChars = 1 << 20;
constexpr wchar_t TruncationMarker[] = L" [record truncated]";

// Reads args only through copies, so the caller's args stay usable.
std::wstring FormatRecordText(const wchar_t* format, va_list args);

} // namespace sklog
