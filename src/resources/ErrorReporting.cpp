#include "ErrorReporting.h"

#include "../host/Log.h"

#include <string>
#include <utility>

namespace Veltra {

bool DXFailed(HRESULT result, const wchar_t* callText)
{
    if (result == 0)
        return false;
    LogAlways(LogError, L"DirectX Error: %d in %s\n", static_cast<int>(result), callText);
    return true;
}

CGerror CgFailed(const wchar_t* callText)
{
    const CGerror error = cgGetError();
    if (error != CG_NO_ERROR)
        LogAlways(LogWarning, L"Cg Error: %d in %s\n", static_cast<int>(error), callText);
    return error;
}

namespace {

// One line of the listing as a record's text: at most `longest` characters. The compiler
// writes ASCII; any other byte is shown as the character of its value.
std::wstring ListingLine(const char* begin, const char* end, size_t longest)
{
    std::wstring text;
    for (const char* c = begin; c < end && text.size() < longest; ++c)
        text.push_back(static_cast<unsigned char>(*c));
    return text;
}

} // namespace

void LogCgListing(const char* listing)
{
    const int ShownLines = 10;
    const size_t LongestLine = 400;  // a line may quote the host's source
    if (!listing)
        return;
    // Runs of one line repeated (one error per unrolled term, say) are one record each.
    std::wstring run;
    int repeats = 0, shown = 0, hidden = 0;
    auto flush = [&] {
        if (repeats == 0)
            return;
        if (shown++ < ShownLines) {
            if (repeats > 1)
                LogAlways(LogWarning, L"Cg listing: %s (%d times)\n", run.c_str(), repeats);
            else
                LogAlways(LogWarning, L"Cg listing: %s\n", run.c_str());
        } else {
            hidden += repeats;
        }
    };
    for (const char* line = listing; *line;) {
        const char* end = line;
        while (*end && *end != '\n')
            ++end;
        const char* last = end > line && end[-1] == '\r' ? end - 1 : end;
        if (last > line) {
            std::wstring text = ListingLine(line, last, LongestLine);
            if (repeats > 0 && text == run) {
                ++repeats;
            } else {
                flush();
                run = std::move(text);
                repeats = 1;
            }
        }
        line = *end ? end + 1 : end;
    }
    flush();
    if (hidden > 0)
        LogAlways(LogWarning, L"Cg listing: (%d more lines)\n", hidden);
}

} // namespace Veltra
