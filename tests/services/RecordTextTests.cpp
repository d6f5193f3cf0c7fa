#include "LogWriting.h"

#include <LogCapture.h>
#include <sklog_control.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(SklogRecordText, FollowsTheWindowsWidePrintfAndKeepsLongTextsWhole)
{
    LogCapture capture(L"");
    WriteRecord(293, 3, L"%s|%hs|%d|%X|%g|%%\n", L"wide \u00e9", "narrow", -42, 0x1A2Bu, 2.5);
    WriteRecord(7, 63, nullptr);
    const std::wstring tenThousand(10000, L'a');
    WriteRecord(1, 1, L"<%s>%d", tenThousand.c_str(), 7);
    WriteRecord(1, 1, L"%s", std::wstring(3u << 20, L'b').c_str());

    const std::vector<LogRecord> records = capture.Records();
    ASSERT_EQ(4u, records.size());
    EXPECT_EQ(293u, records[0].module);
    EXPECT_EQ(3u, records[0].level);
    EXPECT_EQ(L"wide \u00e9|narrow|-42|1A2B|2.5|%\n", records[0].text); // unchanged, newline included
    EXPECT_EQ(63u, records[1].level); // written although the level is off
    EXPECT_EQ(L"", records[1].text);
    EXPECT_TRUE(records[2].text == L"<" + tenThousand + L">7");

    const std::wstring& cut = records[3].text;
    const std::wstring marker = L" [record truncated]";
    ASSERT_GT(cut.size(), marker.size());
    EXPECT_LE(cut.size(), 1u << 20);
    EXPECT_EQ(cut.size() - marker.size(), cut.find_first_not_of(L'b'));
    EXPECT_EQ(marker, cut.substr(cut.size() - marker.size()));
}

TEST(SklogSink, IsNeverCalledFromTwoThreadsAtOnce)
{
    struct Probe {
        std::atomic<int> inside{0}, overlaps{0};
        int received = 0;
    } probe;
    sklog_SetSink(
        [](void* context, unsigned int, unsigned int, const wchar_t*) {
            Probe& probe = *static_cast<Probe*>(context);
            probe.overlaps += probe.inside++ != 0;
            ++probe.received; // a race here would lose counts
            std::this_thread::yield();
            --probe.inside;
        },
        &probe);
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < 300; ++i)
                WriteRecord(293, 3, L"writer %d record %d", t, i);
        });
    for (std::thread& writer : writers)
        writer.join();
    sklog_SetSink(nullptr, nullptr);
    EXPECT_EQ(0, probe.overlaps);
    EXPECT_EQ(8 * 300, probe.received);
}
