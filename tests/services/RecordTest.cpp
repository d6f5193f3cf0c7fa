// Records as sklog writes them to the file VELTRA_LOG_FILE names, eight threads at once:
// each record one whole line of UTF-8 with time, thread, module and level, whatever
// line breaks ended its text, nothing lost, nothing split.

#include <sklog.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdarg>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

void Write(unsigned int module, unsigned int level, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    skcore::wvPrintf(module, level, format, args);
    va_end(args);
}

} // namespace

TEST(SklogFile, EightThreadsWriteWholeWellFormedLines)
{
    wchar_t folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"vlg", 0, path);
    SetEnvironmentVariableW(L"VELTRA_LOG_FILE", path);
    skcore::Logger_Start();
    std::vector<std::thread> writers;
    std::set<std::string> expected;
    for (unsigned int t = 0; t < 8; ++t) {
        for (int i = 0; i < 250; ++i)
            expected.insert(std::to_string(t) + "/" + std::to_string(i % 64) + " caf\xC3\xA9 \xE2\x82\xAC " +
                            std::to_string(i) + " " + std::string(size_t(i * 37 % 3000), 'n') + "|" +
                            std::string(size_t(i % 7), 'w') + "|-42|2.5|%");
        writers.emplace_back([t] {
            for (int i = 0; i < 250; ++i)
                Write(t, i % 64, L"caf\u00e9 \u20ac %d %hs|%s|%d|%g|%%%s", i, std::string(i * 37 % 3000u, 'n').c_str(),
                      std::wstring(i % 7u, L'w').c_str(), -42, 2.5, i % 3 ? L"\r\n\n" : L"");
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    skcore::Logger_End();  // closes the file
    std::ifstream in(path, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    DeleteFileW(path);

    // "2026-12-06 01:02:03.456 T1234 293/3 text": only the header goes through the regex
    // (the matcher recurses per character).
    static const std::regex header(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} T\d+ )");
    std::set<std::string> seen;
    for (size_t start = 0, end; (end = content.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = content.substr(start, end - start);
        std::smatch match;
        ASSERT_TRUE(std::regex_search(line, match, header, std::regex_constants::match_continuous))
            << line.substr(0, 80);
        EXPECT_TRUE(seen.insert(match.suffix().str()).second) << "twice: " << line.substr(0, 80);
    }
    EXPECT_EQ(content.empty() ? '\n' : content.back(), '\n');
    EXPECT_TRUE(seen == expected) << seen.size() << " records of " << expected.size();
}
