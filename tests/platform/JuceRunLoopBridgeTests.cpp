#include "RunLoop.h"
#include <platform/JuceRunLoopBridge.h>

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

#include <poll.h>

// JUCE's message loop serves the message thread's run loop, where the HID callbacks are
// scheduled, without anything pumping it, and leaves the run loop's descriptor quiet once served.
TEST(JuceRunLoopBridge, RunsWorkPostedFromAnotherThreadOnTheMessageThread)
{
    juce::ScopedJuceInitialiser_GUI juce;
    platform::JuceRunLoopBridge bridge;
    const auto runLoop = platform::RunLoop::current();
    std::thread::id ranOn;
    std::thread(
        [&]
        {
            runLoop->perform(
                [&]
                {
                    ranOn = std::this_thread::get_id();
                    juce::MessageManager::getInstance()->stopDispatchLoop();
                });
        })
        .join();
    struct EndAStuckLoop : juce::Timer
    {
        void timerCallback() override { juce::MessageManager::getInstance()->stopDispatchLoop(); }
    } watchdog;
    watchdog.startTimer(3000);
    juce::MessageManager::getInstance()->runDispatchLoop();

    EXPECT_EQ(ranOn, std::this_thread::get_id());
    pollfd check{ runLoop->fd(), POLLIN, 0 };
    EXPECT_EQ(poll(&check, 1, 0), 0);
}
