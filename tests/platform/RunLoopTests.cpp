// The per-thread run loop's descriptor, which JuceRunLoopBridge serves whenever it is readable:
// readable exactly while something waits, or the message loop would call the bridge for ever.

#include "RunLoop.h"

#include <HidTestKit.h>
#include <ScopedThread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <poll.h>

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
