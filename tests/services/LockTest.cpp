// skcore's critical section: re-entrant for its owner, exclusive for everyone else.

#include <skcore.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(SkcoreCriticalSection, IsReentrantForItsOwnerAndExcludesOtherThreads)
{
    skcore::COSCriticalSection section(4000);
    std::atomic<bool> otherEntered{false};
    std::thread other;
    {
        skcore::COSAutoLock outer(section);
        {
            skcore::COSAutoLock inner(section);  // would hang if not re-entrant
        }
        // Leaving the inner lock must not release the outer one.
        other = std::thread([&] {
            skcore::COSAutoLock lock(section);
            otherEntered = true;
        });
        Sleep(200);
        EXPECT_FALSE(otherEntered);
    }
    other.join();
    EXPECT_TRUE(otherEntered);
}
