#include "RecordText.h"

#include <cwchar>
#include <stdio.h>
#include <vector>

namespace sklog {
namespace {

// The runtime's own _vsnwprintf, not the C99 vswprintf: MinGW's C++ mode makes
// the standard functions use ISO semantics, where %s in a wide format is narrow.
// Answers the characters written, or -1 when they do not fit.
int FormatInto(wchar_t* buffer, size_t capacity, const wchar_t* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int written = _vsnwprintf(buffer, capacity, format, copy);
    va_end(copy);
    return written;
}

int MeasureFormatted(const wchar_t* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int length = _vscwprintf(format, copy);
    va_end(copy);
    return length;
}

} // namespace

std::wstring FormatRecordText(const wchar_t* format, va_list args)
{
    if (!format)
        return std::wstring();

    // Most records are short: one pass into a stack buffer.
    wchar_t shortText[512];
    const int shortLength = FormatInto(shortText, sizeof shortText / sizeof shortText[0], format, args);
    if (shortLength >= 0 && static_cast<size_t>(shortLength) < sizeof shortText / sizeof shortText[0])
        return std::wstring(shortText, static_cast<size_t>(shortLength));

    const int length = MeasureFormatted(format, args);
    if (length < 0)
        return format; // the runtime rejected the format: keep at least its text

    const size_t wanted = static_cast<size_t>(length);
    const size_t markerLength = sizeof TruncationMarker / sizeof TruncationMarker[0] - 1;
    const bool truncate = wanted > MaxRecordChars;
    const size_t kept = truncate ? MaxRecordChars - markerLength : wanted;

    // One more than kept: _vsnwprintf stores the terminator when there is room for it.
    std::vector<wchar_t> buffer(kept + 1, L'\0');
    const int written = FormatInto(buffer.data(), truncate ? kept : kept + 1, format, args);
    std::wstring text(buffer.data(), written >= 0 ? static_cast<size_t>(written) : kept);
    if (truncate)
        text += TruncationMarker;
    return text;
}

} // namespace sklog
