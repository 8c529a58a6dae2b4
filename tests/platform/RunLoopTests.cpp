// The per-thread run loop's descriptor, which JuceRunLoopBridge serves whenever it is readable:
// readable exactly while something waits, or the message loop would call the bridge for ever.

#include "RunLoop.h"

#include <HidTestKit.h>
#include <ScopedThread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

// The posts race the loop taking its work; each trial ends with one more pass, as the bridge makes
// while the descriptor is readable.
TEST(RunLoop, WorkPostedFromAnotherThreadRunsHereAndThenLeavesTheDescriptorQuiet)
{
    const auto loop = platform::RunLoop::current();
    for (int trial = 0; trial < 300; ++trial)
    {
        std::atomic<int> done{ 0 }, elsewhere{ 0 };
        const auto here = std::this_thread::get_id();
        testsupport::ScopedThread poster(
            [&]
            {
                for (int i = 0; i < 50; ++i)
                    loop->perform(
                        [&]
                        {
                            elsewhere += std::this_thread::get_id() != here;
                            ++done;
                        });
            });
        const bool allRan = testsupport::pumpUntil([&] { return done == 50; });
        poster.join();
        loop->runOnce(0);
        pollfd check{ loop->fd(), POLLIN, 0 };
        ASSERT_TRUE(allRan) << "trial " << trial;
        ASSERT_EQ(elsewhere, 0) << "trial " << trial;
        ASSERT_EQ(poll(&check, 1, 0), 0) << "trial " << trial;
    }
}

// The owner may keep its descriptor open after removing the source: the loop must stop watching it.
TEST(RunLoop, ARemovedSourceThatStaysReadableLeavesTheDescriptorQuiet)
{
    const auto loop = platform::RunLoop::current();
    const int readable = eventfd(1, EFD_CLOEXEC);
    int calls = 0;
    loop->removeSource(loop->addFdSource(readable, [&](uint32_t) { ++calls; }));
    loop->runOnce(0);
    pollfd check{ loop->fd(), POLLIN, 0 };
    EXPECT_EQ(poll(&check, 1, 0), 0);
    EXPECT_EQ(calls, 0);
    close(readable);
}
