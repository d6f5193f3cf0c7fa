#include "RecordLine.h"

#include <climits>
#include <cstdio>

namespace sklog {
namespace {

void AppendUtf8(std::string& line, const wchar_t* text, size_t length)
{
    if (length == 0 || length > static_cast<size_t>(INT_MAX / 3))
        return;
    const int wideLength = static_cast<int>(length);
    const int byteLength = WideCharToMultiByte(CP_UTF8, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
    if (byteLength <= 0)
        return;
    const size_t start = line.size();
    line.resize(start + static_cast<size_t>(byteLength));
    WideCharToMultiByte(CP_UTF8, 0, text, wideLength, &line[start], byteLength, nullptr, nullptr);
}

} // namespace

std::string ComposeRecordLine(const SYSTEMTIME& localTime, unsigned long threadId, unsigned int module,
                              unsigned int level, const std::wstring& text)
{
    char header[96];
    const int headerLength = std::snprintf(header, sizeof header, "%04d-%02d-%02d %02d:%02d:%02d.%03d T%lu %u/%u ",
                                           localTime.wYear, localTime.wMonth, localTime.wDay, localTime.wHour,
                                           localTime.wMinute, localTime.wSecond, localTime.wMilliseconds, threadId,
                                           module, level);

    size_t textLength = text.size();
    while (textLength > 0 && (text[textLength - 1] == L'\n' || text[textLength - 1] == L'\r'))
        --textLength;

    std::string line;
    line.reserve(static_cast<size_t>(headerLength) + textLength + textLength / 2 + 1);
    line.append(header, static_cast<size_t>(headerLength));
    AppendUtf8(line, text.data(), textLength);
    line += '\n';
    return line;
}

} // namespace sklog
