#include <platform/RunLoop.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

using platform::RunLoop;

namespace
{
const std::string defaultMode = "kCFRunLoopDefaultMode";

// An eventfd that a test raises to make a source ready.
struct ReadyFd
{
    ReadyFd() : fd (eventfd (0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~ReadyFd() { close (fd); }
    void raise() const
    {
        const uint64_t one = 1;
        EXPECT_EQ (write (fd, &one, sizeof one), (ssize_t) sizeof one);
    }
    void consume() const
    {
        uint64_t value;
        [[maybe_unused]] auto got = read (fd, &value, sizeof value);
    }
    const int fd;
};

double secondsSince (std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
}
} // namespace

TEST (RunLoop, EachThreadHasItsOwnLoop)
{
    CFRunLoopRef here = CFRunLoopGetCurrent();
    EXPECT_EQ (here, CFRunLoopGetCurrent());
    CFRunLoopRef there = nullptr;
    std::thread ([&] { there = CFRunLoopGetCurrent(); }).join();
    EXPECT_NE (here, there);
    EXPECT_EQ (CFGetTypeID (here), CFRunLoopGetTypeID());
}

TEST (RunLoop, NothingScheduledFinishesAtOnce)
{
    EXPECT_EQ (CFRunLoopRunInMode (CFSTR ("an empty mode"), 5.0, false), kCFRunLoopRunFinished);
}

TEST (RunLoop, WorkPostedFromAnotherThreadRunsOnTheLoopsThread)
{
    auto loop = RunLoop::current();
    std::thread::id ranOn;
    std::thread poster ([&] { loop->perform (defaultMode, [&] { ranOn = std::this_thread::get_id(); }); });
    poster.join();
    EXPECT_EQ (CFRunLoopRunInMode (kCFRunLoopDefaultMode, 1.0, true), kCFRunLoopRunHandledSource);
    EXPECT_EQ (ranOn, std::this_thread::get_id());
}

TEST (RunLoop, ReadySourceIsServedAndAnIdleOneTimesOut)
{
    auto loop = RunLoop::current();
    ReadyFd ready;
    int calls = 0;
    const auto id = loop->addFdSource (defaultMode, ready.fd, [&] (uint32_t) {
        ++calls;
        ready.consume();
    });
    EXPECT_EQ (CFRunLoopRunInMode (kCFRunLoopDefaultMode, 0.02, true), kCFRunLoopRunTimedOut);
    EXPECT_EQ (calls, 0);
    ready.raise();
    EXPECT_EQ (CFRunLoopRunInMode (kCFRunLoopDefaultMode, 1.0, true), kCFRunLoopRunHandledSource);
    EXPECT_EQ (calls, 1);
    loop->removeSource (id);
    EXPECT_EQ (CFRunLoopRunInMode (kCFRunLoopDefaultMode, 1.0, true), kCFRunLoopRunFinished);
}

TEST (RunLoop, SourcesOfAnotherModeWaitUntilThatModeRuns)
{
    auto loop = RunLoop::current();
    ReadyFd ready;
    int calls = 0;
    const auto id = loop->addFdSource ("other", ready.fd, [&] (uint32_t) {
        ++calls;
        ready.consume();
    });
    ready.raise();
    ReadyFd idle;
    const auto keepDefaultBusy = loop->addFdSource (defaultMode, idle.fd, [] (uint32_t) {});
    CFRunLoopRunInMode (kCFRunLoopDefaultMode, 0.02, false);
    EXPECT_EQ (calls, 0);
    CFRunLoopRunInMode (CFSTR ("other"), 0.02, true);
    EXPECT_EQ (calls, 1);
    loop->removeSource (id);
    loop->removeSource (keepDefaultBusy);
}

TEST (RunLoop, ASourceRemovedByAnEarlierCallbackOfTheSamePassIsNotCalled)
{
    auto loop = RunLoop::current();
    ReadyFd first, second;
    uint64_t firstId = 0, secondId = 0;
    int calls = 0;
    // Whichever runs first removes the other; both are ready in the same pass.
    firstId = loop->addFdSource (defaultMode, first.fd, [&] (uint32_t) {
        ++calls;
        first.consume();
        loop->removeSource (secondId);
    });
    secondId = loop->addFdSource (defaultMode, second.fd, [&] (uint32_t) {
        ++calls;
        second.consume();
        loop->removeSource (firstId);
    });
    first.raise();
    second.raise();
    CFRunLoopRunInMode (kCFRunLoopDefaultMode, 0.05, false);
    EXPECT_EQ (calls, 1);
    loop->removeSource (firstId);
    loop->removeSource (secondId);
}

TEST (RunLoop, StopFromAnotherThreadEndsALongWait)
{
    auto loop = RunLoop::current();
    ReadyFd idle;
    const auto id = loop->addFdSource (defaultMode, idle.fd, [] (uint32_t) {});
    CFRunLoopRef runLoop = CFRunLoopGetCurrent();
    std::thread stopper ([runLoop] {
        std::this_thread::sleep_for (std::chrono::milliseconds (20));
        CFRunLoopStop (runLoop);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ (CFRunLoopRunInMode (kCFRunLoopDefaultMode, 10.0, false), kCFRunLoopRunStopped);
    EXPECT_LT (secondsSince (start), 5.0);
    stopper.join();
    loop->removeSource (id);
}

TEST (RunLoop, ModeDescriptorIsReadableExactlyWhileWorkIsWaiting)
{
    auto loop = RunLoop::current();
    const int fd = loop->modeFd (defaultMode);
    pollfd check { fd, POLLIN, 0 };
    EXPECT_EQ (poll (&check, 1, 0), 0);
    bool ran = false;
    loop->perform (defaultMode, [&] { ran = true; });
    EXPECT_EQ (poll (&check, 1, 0), 1);
    loop->run (defaultMode, 0.0, false);
    EXPECT_TRUE (ran);
    EXPECT_EQ (poll (&check, 1, 0), 0);
}
