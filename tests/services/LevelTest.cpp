// Enabled levels: from VELTRA_LOG at the logger's first use, replaced at run time.

#include <sklog.h>
#include <sklog_control.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>

namespace {

// Set while the program starts, before the logger's first use reads it.
const bool startupLevelsSet =
    SetEnvironmentVariableW(L"VELTRA_LOG", L"293:0-5,24; 12:* ;garbage;77:x,3-1,64,9;99999999999:1;") != 0;

// The enabled levels of a module as a bit mask; level 64 is never active.
uint64_t ActiveLevels(unsigned int module)
{
    uint64_t mask = 0;
    for (unsigned int level = 0; level < 64; ++level)
        mask |= uint64_t(skcore::wPrintf_IsUserLevelActive(module, level)) << level;
    EXPECT_FALSE(skcore::wPrintf_IsUserLevelActive(module, 64));
    return mask;
}

} // namespace

TEST(SklogLevels, StartFromVeltraLogAndAreReplacedAtRunTime)
{
    ASSERT_TRUE(startupLevelsSet);
    const struct {
        const wchar_t* text;  // null: the levels VELTRA_LOG set
        unsigned int module;
        uint64_t expected;
    } cases[] = {
        {nullptr, 293, 0x100003F},  // 0-5 and 24
        {nullptr, 12, ~uint64_t(0)},
        {nullptr, 77, 1 << 9},      // the malformed items around 9 are skipped
        {nullptr, 1215752191u, 0},  // 99999999999 overflows: not wrapped into a module
        {L"5:1-3", 5, 0xE},
        {L"5:1;5:7;6:2", 5, 0x82},
        {L" 5 : 2 - 3 , 63 ", 5, 0x800000000000000C},
        {L"5:*,junk", 5, ~uint64_t(0)},
        {L"4294967295:2", 4294967295u, 0x4},
        {L"4294967296:2", 0, 0},
        {L"5:63-64,-1,+2,3-,-,4-2,1x,0x1", 5, 0},
        {L";;:;5:;:3;5;5:;:", 5, 0},
        {L"", 293, 0},
    };
    for (const auto& c : cases) {
        if (c.text)
            sklog_Configure(c.text);
        EXPECT_EQ(c.expected, ActiveLevels(c.module)) << testing::PrintToString(c.text) << " module " << c.module;
    }
}
