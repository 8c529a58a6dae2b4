// The per-thread run loop: where callbacks and posted work run, sources removed in the middle of
// a pass, and a descriptor that is readable exactly while something waits (JuceRunLoopBridge is
// called whenever it is readable).

#include "RunLoop.h"

#include <HidTestKit.h>
#include <ScopedThread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

using platform::RunLoop;

namespace
{
bool readable(int fd)
{
    pollfd check{ fd, POLLIN, 0 };
    return poll(&check, 1, 0) == 1;
}
} // namespace

TEST(RunLoop, EachThreadHasItsOwnLoop)
{
    const auto here = platform::runLoopFromCF(CFRunLoopGetCurrent());
    std::shared_ptr<RunLoop> there;
    std::thread([&] { there = platform::runLoopFromCF(CFRunLoopGetCurrent()); }).join();
    EXPECT_EQ(here, RunLoop::current());
    EXPECT_NE(here, there);
}

TEST(RunLoop, ASourceRemovedByAnEarlierCallbackOfTheSamePassIsNotCalled)
{
    // Two ready sources; whichever runs first removes the other.
    const auto loop = RunLoop::current();
    const int ready = eventfd(1, EFD_CLOEXEC);
    int calls = 0;
    uint64_t ids[2];
    for (int i = 0; i < 2; ++i)
        ids[i] = loop->addFdSource(ready,
                                   [&, other = 1 - i](uint32_t)
                                   {
                                       ++calls;
                                       loop->removeSource(ids[other]);
                                   });
    loop->runOnce(0.05);
    loop->removeSource(ids[0]);
    loop->removeSource(ids[1]);
    close(ready);
    EXPECT_EQ(calls, 1);
}

TEST(RunLoop, WorkPostedFromAnotherThreadRunsHereAndThenLeavesTheDescriptorQuiet)
{
    // The posts race the loop taking its work; each trial ends with one more pass, as the bridge
    // makes while the descriptor is readable. A descriptor still readable then would keep the
    // message loop calling the bridge for ever.
    const auto loop = RunLoop::current();
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
        ASSERT_TRUE(allRan) << "trial " << trial;
        ASSERT_EQ(elsewhere, 0) << "trial " << trial;
        ASSERT_FALSE(readable(loop->fd())) << "trial " << trial;
    }
}
