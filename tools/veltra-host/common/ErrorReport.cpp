#include "common/ErrorReport.h"

#include "common/HostPaths.h"

#include <cstdio>
#include <fstream>
#include <vector>

namespace {

const size_t ScreenLines = 20;
const size_t LongestShownLine = 300;
const char* const FullTextFile = "veltra-host-error.txt";

struct Run {
    std::string line;
    unsigned long long count;
};

std::vector<Run> FoldedLines(const std::string& text)
{
    std::vector<Run> runs;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!runs.empty() && runs.back().line == line)
            ++runs.back().count;
        else
            runs.push_back({line, 1});
        start = end + 1;
    }
    return runs;
}

std::string Shown(const Run& run)
{
    std::string line = run.line.size() > LongestShownLine ? run.line.substr(0, LongestShownLine) + "..." : run.line;
    return run.count > 1 ? line + " (... " + Grouped(run.count) + " times)" : line;
}

// The whole message in the current folder, or else in the temporary folder.
std::string WriteFullText(const std::string& message)
{
    for (const std::string& folder : {std::string(), TemporaryFolder()}) {
        const std::string path = folder + FullTextFile;
        std::ofstream file(Widen(path).c_str(), std::ios::binary);
        file << message << "\n";
        if (file.flush())
            return FullPath(path);
    }
    return "";
}

} // namespace

std::string Grouped(unsigned long long number)
{
    std::string digits = std::to_string(number);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, " ");
    return digits;
}

std::string ShownError(const std::string& message, const std::string& fullTextPath)
{
    const std::vector<Run> runs = FoldedLines(message);
    std::string shown;
    bool cut = false;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (i == ScreenLines && runs.size() > ScreenLines + 1) {
            shown += "... " + Grouped(runs.size() - i) + " more lines";
            cut = true;
            break;
        }
        cut = cut || runs[i].count > 1 || runs[i].line.size() > LongestShownLine;
        shown += Shown(runs[i]) + "\n";
    }
    if (cut)
        shown += (shown.back() == '\n' ? "" : "; ") + std::string("the whole message is in ") +
                 (fullTextPath.empty() ? "no file (none could be written)" : fullTextPath) + "\n";
    return shown;
}

void ReportError(const std::string& message)
{
    std::string shown = ShownError(message, "");
    if (shown.find("the whole message is in ") != std::string::npos)
        shown = ShownError(message, WriteFullText(message));
    std::fputs(shown.c_str(), stderr);
    std::fflush(stderr);
}
