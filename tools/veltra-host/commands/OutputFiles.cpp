#include "commands/OutputFiles.h"

#include "common/HostErrors.h"
#include "common/HostPaths.h"

#include <cctype>

namespace {

const int DefaultDigits = 4;

[[noreturn]] void BadPattern(const std::string& output)
{
    throw UsageError("-o \"" + output + "\": a name holds at most one frame number, written %d or %0Nd as in "
                     "out-%04d.png (%% for a percent sign)");
}

std::string Unescaped(const std::string& text)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i)
        result += text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%' ? text[i++] : text[i];
    return result;
}

} // namespace

FrameFiles::FrameFiles(const std::string& output, bool severalFrames)
{
    size_t slot = std::string::npos, slotEnd = 0;
    for (size_t i = 0; i < output.size(); ++i) {
        if (output[i] != '%')
            continue;
        if (i + 1 < output.size() && output[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t end = i + 1;  // after "%", "%0N" comes before the "d"
        int digits = 1;
        if (end + 1 < output.size() && output[end] == '0' && std::isdigit(static_cast<unsigned char>(output[end + 1]))) {
            digits = output[end + 1] - '0';
            end += 2;
        }
        if (slot != std::string::npos || end >= output.size() || output[end] != 'd')
            BadPattern(output);
        slot = i;
        slotEnd = end + 1;
        _digits = digits;
    }
    if (slot != std::string::npos) {
        _before = Unescaped(output.substr(0, slot));
        _after = Unescaped(output.substr(slotEnd));
        return;
    }
    _before = Unescaped(output);
    if (!severalFrames)
        return;
    // Several frames into one name: the number goes before the extension.
    const size_t dot = _before.find_last_of('.');
    const size_t separator = _before.find_last_of("\\/");
    const bool extension = dot != std::string::npos && (separator == std::string::npos || dot > separator);
    _after = extension ? _before.substr(dot) : ".png";
    _before = (extension ? _before.substr(0, dot) : _before) + "-";
    _digits = DefaultDigits;
}

std::string FrameFiles::PathOf(int frameNumber) const
{
    if (_digits == 0)
        return _before;
    std::string number = std::to_string(frameNumber);
    if (number.size() < static_cast<size_t>(_digits))
        number.insert(0, static_cast<size_t>(_digits) - number.size(), '0');
    return _before + number + _after;
}

void CheckOutputFiles(const std::vector<std::string>& paths, bool overwrite)
{
    for (const std::string& path : paths)
        if (!overwrite && FileExists(path))
            throw UsageError(path + " exists; add -y to replace it");
    // The names of a sequence differ only in their numbers: the first and the last
    // stand for all of them.
    for (const std::string* path : {&paths.front(), &paths.back()}) {
        const std::string problem = WriteProblem(*path);
        if (!problem.empty())
            throw HostFailure("cannot write " + *path + ": " + problem);
    }
}
