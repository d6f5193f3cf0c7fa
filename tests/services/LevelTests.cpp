#include <sklog.h>
#include <sklog_control.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <thread>
#include <vector>

namespace {

// The enabled levels of a module as a bit mask; level 64 must never be active.
uint64_t ActiveLevels(unsigned int module)
{
    uint64_t mask = 0;
    for (unsigned int level = 0; level < 64; ++level)
        mask |= uint64_t(skcore::wPrintf_IsUserLevelActive(module, level)) << level;
    EXPECT_FALSE(skcore::wPrintf_IsUserLevelActive(module, 64));
    return mask;
}

uint64_t Levels(std::initializer_list<unsigned int> levels)
{
    uint64_t mask = 0;
    for (unsigned int level : levels)
        mask |= uint64_t(1) << level;
    return mask;
}

const uint64_t AllLevels = ~uint64_t(0);

// Sets VELTRA_LOG before any test runs and records what the logger answers at
// its first use, before any test reconfigures it.
class StartupLevels : public testing::Environment {
public:
    static inline std::map<unsigned int, uint64_t> answers;

    void SetUp() override
    {
        SetEnvironmentVariableW(L"VELTRA_LOG", L"293:0-5,24; 12:* ;garbage;77:x,3-1,64,9;99999999999:1;");
        for (unsigned int module : {293u, 12u, 77u, 1215752191u /* 99999999999 mod 2^32 */})
            answers[module] = ActiveLevels(module);
    }
};
testing::Environment* const startupLevels = testing::AddGlobalTestEnvironment(new StartupLevels);

} // namespace

TEST(SklogLevels, StartFromVeltraLogAndAreReplacedByConfigure)
{
    std::map<unsigned int, uint64_t>& startup = StartupLevels::answers;
    EXPECT_EQ(Levels({0, 1, 2, 3, 4, 5, 24}), startup[293]);
    EXPECT_EQ(AllLevels, startup[12]);
    EXPECT_EQ(Levels({9}), startup[77]); // the malformed items around 9 are skipped
    EXPECT_EQ(0u, startup[1215752191u]); // an overflowing module number is not wrapped

    const struct {
        const wchar_t* text;
        unsigned int module;
        uint64_t expected;
    } cases[] = {
        {L"5:1-3", 5, Levels({1, 2, 3})},
        {L"5:1;5:7;6:2", 5, Levels({1, 7})},
        {L" 5 : 2 - 3 , 63 ", 5, Levels({2, 3, 63})},
        {L"5:0-63", 5, AllLevels},
        {L"5:*,junk", 5, AllLevels},
        {L"4294967295:2", 4294967295u, Levels({2})},
        {L"4294967296:2", 0, 0},
        {L"5:63-64,-1,+2,3-,-,4-2,1x,0x1", 5, 0},
        {L";;:;5:;:3;5;5:;:", 5, 0},
        {L"", 293, 0},
        {nullptr, 12, 0},
    };
    for (const auto& c : cases) {
        sklog_Configure(c.text);
        EXPECT_EQ(c.expected, ActiveLevels(c.module)) << testing::PrintToString(c.text);
    }
}

TEST(SklogLevels, ChecksStayValidWhileAnotherThreadReconfigures)
{
    sklog_Configure(L"5:1");
    std::atomic<bool> stop{false};
    std::atomic<int> wrongAnswers{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i)
        readers.emplace_back([&] {
            while (!stop)
                if (!skcore::wPrintf_IsUserLevelActive(5, 1) || skcore::wPrintf_IsUserLevelActive(5, 3))
                    ++wrongAnswers;
        });
    for (int i = 0; i < 2000; ++i)
        sklog_Configure(i % 2 ? L"5:1" : L"5:1-2;6:*");
    stop = true;
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(0, wrongAnswers.load());
    sklog_Configure(nullptr);
}
