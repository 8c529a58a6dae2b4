#include "HidTestHelpers.h"

#include <FakeHidSource.h>
#include <platform/JuceRunLoopBridge.h>
#include <platform/RunLoop.h>

#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

// The message loop serves the HID callbacks scheduled on the message thread's run loop, without
// anything pumping CFRunLoopRunInMode.
TEST (JuceRunLoopBridge, DeliversAnInputReportCallbackOnTheMessageThread)
{
    juce::ScopedJuceInitialiser_GUI juce;
    testsupport::FakeHidSource fake;
    fake.install();
    const auto key = fake.addDevice (testsupport::FakeHidSource::qel720 (0x01100000));
    platform::JuceRunLoopBridge bridge;

    IOHIDManagerRef manager = IOHIDManagerCreate (kCFAllocatorDefault, kIOHIDOptionsTypeNone);
    IOHIDManagerSetDeviceMatchingMultiple (manager, nullptr);
    ASSERT_EQ (IOHIDManagerOpen (manager, kIOHIDOptionsTypeNone), kIOReturnSuccess);
    struct Log : CallbackLog
    {
        bool onMessageThread = false;
    } log;
    IOHIDDeviceRef device = devicesOf (manager).at (0);
    IOHIDDeviceRegisterInputReportCallback (
        device, log.buffer, sizeof log.buffer,
        [] (void* context, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t*, CFIndex length) {
            auto& seen = *static_cast<Log*> (context);
            seen.reports++;
            seen.onMessageThread = juce::MessageManager::getInstance()->isThisTheMessageThread() && length == 64;
            juce::MessageManager::getInstance()->stopDispatchLoop();
        },
        &log);
    IOHIDDeviceScheduleWithRunLoop (device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);

    // The report comes from another thread once the loop runs; a watchdog ends a stuck loop.
    std::thread device_side ([&] {
        std::this_thread::sleep_for (std::chrono::milliseconds (20));
        fake.injectInputReport (key, patternReport (0xF0));
    });
    std::atomic<bool> finished { false };
    std::thread watchdog ([&] {
        for (int i = 0; i < 300 && ! finished; ++i)
            std::this_thread::sleep_for (std::chrono::milliseconds (10));
        if (! finished)
            juce::MessageManager::getInstance()->stopDispatchLoop();
    });
    juce::MessageManager::getInstance()->runDispatchLoop();
    finished = true;
    device_side.join();
    watchdog.join();

    EXPECT_EQ (log.reports, 1);
    EXPECT_TRUE (log.onMessageThread);
    CFRelease (manager);
}
