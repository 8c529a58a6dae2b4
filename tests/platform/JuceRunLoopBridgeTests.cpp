#include "HidTestHelpers.h"

#include <FakeHidSource.h>
#include <platform/JuceRunLoopBridge.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>

using JuceRunLoopBridge = HidManagerTest;

// The message loop serves the HID callbacks scheduled on the message thread's run loop, without
// anything pumping CFRunLoopRunInMode.
TEST_F(JuceRunLoopBridge, DeliversAnInputReportCallbackOnTheMessageThread)
{
    juce::ScopedJuceInitialiser_GUI juce;
    testsupport::FakeHidSource fake;
    fake.install();
    const auto key = fake.addDevice(testsupport::FakeHidSource::qel720(0x01100000));
    platform::JuceRunLoopBridge bridge;
    openManager();
    CallbackLog log;
    IOHIDDeviceRef device = devicesOf(manager).at(0);
    IOHIDDeviceRegisterInputReportCallback(
        device, log.buffer, sizeof log.buffer,
        [](void* context, IOReturn result, void* sender, IOHIDReportType type, uint32_t id, uint8_t* report,
           CFIndex length)
        {
            CallbackLog::report(context, result, sender, type, id, report, length);
            juce::MessageManager::getInstance()->stopDispatchLoop();
        },
        &log);
    IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);

    // The report comes from another thread once the loop runs; a watchdog ends a stuck loop.
    std::thread deviceSide(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            fake.injectInputReport(key, patternReport(0xF0));
        });
    std::atomic<bool> finished{ false };
    std::thread watchdog(
        [&]
        {
            for (int i = 0; i < 300 && !finished; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!finished)
                juce::MessageManager::getInstance()->stopDispatchLoop();
        });
    juce::MessageManager::getInstance()->runDispatchLoop();
    finished = true;
    deviceSide.join();
    watchdog.join();

    EXPECT_EQ(log.reportsSeen, std::vector<std::vector<uint8_t>>{ patternReport(0xF0) });
    EXPECT_TRUE(juce::MessageManager::getInstance()->isThisTheMessageThread());
    EXPECT_TRUE(log.allOnThread(std::this_thread::get_id())); // the callback ran on this, the message thread
    releaseManager();
}
