#include "RunLoop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

using platform::RunLoop;

namespace
{
const std::string defaultMode = "kCFRunLoopDefaultMode";

// An eventfd source on the calling thread's loop that counts its calls; raise() makes it ready.
// It is removed when it goes.
struct CountedSource
{
    explicit CountedSource(const std::string& mode = defaultMode)
        : id(RunLoop::current()->addFdSource(mode, fd,
                                             [this](uint32_t)
                                             {
                                                 uint64_t value;
                                                 [[maybe_unused]] auto got = read(fd, &value, sizeof value);
                                                 ++calls;
                                                 if (onCall)
                                                     onCall();
                                             }))
    {
    }
    ~CountedSource()
    {
        RunLoop::current()->removeSource(id);
        close(fd);
    }
    void raise() const
    {
        const uint64_t one = 1;
        EXPECT_EQ(write(fd, &one, sizeof one), (ssize_t)sizeof one);
    }

    const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    const uint64_t id;
    int calls = 0;
    std::function<void()> onCall;
};
} // namespace

TEST(RunLoop, EachThreadHasItsOwnLoop)
{
    CFRunLoopRef here = CFRunLoopGetCurrent();
    EXPECT_EQ(here, CFRunLoopGetCurrent());
    CFRunLoopRef there = nullptr;
    std::thread([&] { there = CFRunLoopGetCurrent(); }).join();
    EXPECT_NE(here, there);
}

TEST(RunLoop, NothingScheduledFinishesAtOnce)
{
    EXPECT_EQ(CFRunLoopRunInMode(CFSTR("an empty mode"), 5.0, false), kCFRunLoopRunFinished);
}

TEST(RunLoop, ReadySourceIsServedAndAnIdleOneTimesOut)
{
    {
        CountedSource source;
        EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.02, true), kCFRunLoopRunTimedOut);
        EXPECT_EQ(source.calls, 0);
        source.raise();
        EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0, true), kCFRunLoopRunHandledSource);
        EXPECT_EQ(source.calls, 1);
    }
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0, true), kCFRunLoopRunFinished);
}

TEST(RunLoop, SourcesOfAnotherModeWaitUntilThatModeRuns)
{
    CountedSource other("other"), keepDefaultBusy;
    other.raise();
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.02, false);
    EXPECT_EQ(other.calls, 0);
    CFRunLoopRunInMode(CFSTR("other"), 0.02, true);
    EXPECT_EQ(other.calls, 1);
}

TEST(RunLoop, ASourceRemovedByAnEarlierCallbackOfTheSamePassIsNotCalled)
{
    // Whichever runs first removes the other; both are ready in the same pass.
    CountedSource first, second;
    first.onCall = [&] { RunLoop::current()->removeSource(second.id); };
    second.onCall = [&] { RunLoop::current()->removeSource(first.id); };
    first.raise();
    second.raise();
    CFRunLoopRunInMode(kCFRunLoopDefaultMode, 0.05, false);
    EXPECT_EQ(first.calls + second.calls, 1);
}

TEST(RunLoop, StopFromAnotherThreadEndsALongWait)
{
    CountedSource idle;
    std::thread stopper(
        [runLoop = CFRunLoopGetCurrent()]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            CFRunLoopStop(runLoop);
        });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 10.0, false), kCFRunLoopRunStopped);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    stopper.join();
}

TEST(RunLoop, WorkPostedFromAnotherThreadMakesTheModeDescriptorReadableAndRunsOnTheLoopsThread)
{
    auto loop = RunLoop::current();
    pollfd check{ loop->modeFd(defaultMode), POLLIN, 0 };
    EXPECT_EQ(poll(&check, 1, 0), 0);
    std::thread::id ranOn;
    std::thread([&] { loop->perform(defaultMode, [&] { ranOn = std::this_thread::get_id(); }); }).join();
    EXPECT_EQ(poll(&check, 1, 0), 1);
    EXPECT_EQ(CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0, true), kCFRunLoopRunHandledSource);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(poll(&check, 1, 0), 0);
}
