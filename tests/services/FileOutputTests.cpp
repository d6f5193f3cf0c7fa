#include "LogWriting.h"

#include <sklog_control.h>

#include <cstdio>
#include <regex>
#include <set>
#include <thread>

namespace {

// "2026-12-06 01:02:03.456 T1234 293/3 text" split into thread, "module/level"
// and text; empty when malformed. Only the header goes through the regex: the
// libstdc++ matcher recurses per character and overflows on long texts.
std::vector<std::string> Parse(const std::string& line)
{
    static const std::regex header(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} T(\d+) (\d+/\d+) )");
    std::smatch match;
    if (!std::regex_search(line, match, header, std::regex_constants::match_continuous))
        return {};
    return {match[1].str(), match[2].str(), match.suffix().str()};
}

} // namespace

TEST(SklogFile, HoldsOneWellFormedUtf8LinePerRecord)
{
    TemporaryLogFile file;
    skcore::Logger_Start();
    WriteRecord(293, 3, L"RenderDX9(%X)::Shutdown() - start\n", 0x1A2Bu);
    WriteRecord(12, 60, L"without newline");
    WriteRecord(12, 61, L"several line breaks\r\n\n");
    WriteRecord(1, 2, L"caf\u00e9 \u20ac %hs|%s\n", std::string(10000, 'z').c_str(), L"end");
    skcore::Logger_End();

    const std::string thread = std::to_string(GetCurrentThreadId());
    const std::vector<std::vector<std::string>> expected = {
        {thread, "293/3", "RenderDX9(1A2B)::Shutdown() - start"},
        {thread, "12/60", "without newline"},
        {thread, "12/61", "several line breaks"},
        {thread, "1/2", "caf\xC3\xA9 \xE2\x82\xAC " + std::string(10000, 'z') + "|end"},
    };
    const std::vector<std::string> lines = file.Lines();
    ASSERT_EQ(expected.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(Parse(lines[i]) == expected[i]) << lines[i].substr(0, 100);
}

TEST(SklogFile, IsOpenedByTheFirstStartAndClosedByTheBalancingEnd)
{
    TemporaryLogFile first;
    TemporaryLogFile second;
    first.Name();
    EXPECT_EQ(0, sklog_OpenCount());
    skcore::Logger_Start();
    skcore::Logger_Start();
    EXPECT_EQ(2, sklog_OpenCount());
    second.Name(); // the open session keeps its file
    skcore::Logger_End();
    EXPECT_EQ(1, sklog_OpenCount());
    WriteRecord(1, 1, L"in session");
    skcore::Logger_End();
    skcore::Logger_End(); // unbalanced: ignored
    EXPECT_EQ(0, sklog_OpenCount());
    WriteRecord(1, 1, L"after session"); // opens the file named now

    ASSERT_EQ(1u, first.Lines().size());
    EXPECT_EQ("in session", Parse(first.Lines()[0]).at(2));
    ASSERT_EQ(1u, second.Lines().size());
    EXPECT_EQ("after session", Parse(second.Lines()[0]).at(2));
}

TEST(SklogFile, EightThreadsWritingAtOnceLoseAndSplitNoRecord)
{
    TemporaryLogFile file;
    skcore::Logger_Start();
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < 250; ++i) {
                const std::wstring padding(size_t(i * 37 % 3000), L'#'); // 0 to 2999 characters
                WriteRecord(40, 7, L"writer %d record %d %d:%s end\n", t, i, int(padding.size()), padding.c_str());
            }
        });
    for (std::thread& writer : writers)
        writer.join();
    skcore::Logger_End();

    std::set<std::pair<int, int>> seen;
    for (const std::string& line : file.Lines()) {
        const std::vector<std::string> parsed = Parse(line);
        int writer = -1, record = -1, length = -1, consumed = 0;
        if (parsed.size() == 3)
            std::sscanf(parsed[2].c_str(), "writer %d record %d %d:%n", &writer, &record, &length, &consumed);
        ASSERT_TRUE(consumed > 0 && parsed[2].substr(size_t(consumed)) == std::string(size_t(length), '#') + " end")
            << line.substr(0, 100);
        EXPECT_TRUE(seen.emplace(writer, record).second) << "twice: " << line.substr(0, 100);
    }
    EXPECT_EQ(8u * 250u, seen.size());
}
