#include <skcore.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(SkcoreCriticalSection, IsReentrantForItsOwnerAndExcludesOtherThreads)
{
    skcore::COSCriticalSection section(4000);
    std::atomic<bool> otherEntered{false};
    std::thread other;
    {
        skcore::COSAutoLock outer(section);
        {
            skcore::COSAutoLock inner(section); // would hang if not re-entrant
        }
        // Leaving the inner lock must not release the outer one.
        other = std::thread([&] {
            skcore::COSAutoLock lock(section);
            otherEntered = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_FALSE(otherEntered);
    }
    other.join();
    EXPECT_TRUE(otherEntered);
}
