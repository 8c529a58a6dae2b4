#pragma once

// Shared by the HID tests: property reads, matching dictionaries, a recorder of callbacks, a
// fixture owning one manager, and pumping the calling thread's run loop.

#include <platform/IOKitHID.h>

#include <gtest/gtest.h>

#include "RunLoopPump.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

inline long numberProperty(IOHIDDeviceRef device, const char* key)
{
    CFTypeRef value = IOHIDDeviceGetProperty(device, __CFStringMakeConstantString(key));
    if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID())
        return -1;
    long number = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt32Type, &number);
    return number;
}

// A matching array of one dictionary with the given numeric properties.
inline CFArrayRef createMatching(const std::vector<std::pair<const char*, int>>& entries)
{
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (auto& entry : entries)
    {
        CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &entry.second);
        CFDictionarySetValue(dictionary, __CFStringMakeConstantString(entry.first), number);
        CFRelease(number);
    }
    const void* values[] = { dictionary };
    CFArrayRef array = CFArrayCreate(kCFAllocatorDefault, values, 1, &kCFTypeArrayCallBacks);
    CFRelease(dictionary);
    return array;
}

// The manager's devices; the returned references are owned by the manager.
inline std::vector<IOHIDDeviceRef> devicesOf(IOHIDManagerRef manager)
{
    std::vector<IOHIDDeviceRef> devices;
    if (CFSetRef set = IOHIDManagerCopyDevices(manager))
    {
        CFSetApplyFunction(
            set,
            [](const void* value, void* list)
            { static_cast<std::vector<IOHIDDeviceRef>*>(list)->push_back((IOHIDDeviceRef)value); },
            &devices);
        CFRelease(set);
    }
    return devices;
}

inline IOReturn sendReport(IOHIDDeviceRef device, const std::vector<uint8_t>& report)
{
    return IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, report.data(), (CFIndex)report.size());
}

// Every byte value appears across seeds, with 0x0A, 0x0D, 0x00 and 0xFF up front, which a byte
// stream could mangle.
inline std::vector<uint8_t> patternReport(uint8_t seed)
{
    std::vector<uint8_t> report(64);
    for (size_t i = 0; i < report.size(); ++i)
        report[i] = (uint8_t)(seed + i * 37);
    report[1] = 0x0A;
    report[2] = 0x0D;
    report[3] = 0x00;
    report[4] = 0xFF;
    return report;
}

// Records every callback with the thread it ran on.
struct CallbackLog
{
    int matchings = 0, removals = 0, reports = 0;
    IOHIDDeviceRef lastMatched = nullptr;
    void* lastRemovalSender = nullptr;
    IOHIDReportType lastReportType{};
    uint8_t* lastReportData = nullptr;
    std::vector<std::vector<uint8_t>> reportsSeen;
    std::vector<std::thread::id> threads;
    uint8_t buffer[64]{};

    static CallbackLog& noted(void* context)
    {
        auto& log = *static_cast<CallbackLog*>(context);
        log.threads.push_back(std::this_thread::get_id());
        return log;
    }
    static void matched(void* context, IOReturn, void*, IOHIDDeviceRef device)
    {
        auto& log = noted(context);
        ++log.matchings;
        log.lastMatched = device;
    }
    static void removed(void* context, IOReturn, void* sender)
    {
        auto& log = noted(context);
        ++log.removals;
        log.lastRemovalSender = sender;
    }
    static void report(void* context, IOReturn, void*, IOHIDReportType type, uint32_t, uint8_t* data, CFIndex length)
    {
        auto& log = noted(context);
        ++log.reports;
        log.lastReportType = type;
        log.lastReportData = data;
        log.reportsSeen.emplace_back(data, data + length);
    }

    void watch(IOHIDDeviceRef device)
    {
        IOHIDDeviceRegisterRemovalCallback(device, removed, this);
        IOHIDDeviceRegisterInputReportCallback(device, buffer, sizeof buffer, report, this);
        IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }

    // What the main thread does once a device has gone and before it releases the manager.
    void forget(IOHIDDeviceRef device)
    {
        IOHIDDeviceRegisterRemovalCallback(device, nullptr, nullptr);
        IOHIDDeviceRegisterInputReportCallback(device, buffer, sizeof buffer, nullptr, nullptr);
        IOHIDDeviceUnscheduleFromRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }

    bool allOnThread(std::thread::id thread) const
    {
        return std::all_of(threads.begin(), threads.end(), [thread](auto id) { return id == thread; });
    }
};

// Owns one manager at a time, released at the end of the test.
class HidManagerTest : public ::testing::Test
{
protected:
    void TearDown() override { releaseManager(); }

    void openManager(CFArrayRef matching = nullptr)
    {
        releaseManager();
        manager = IOHIDManagerCreate(kCFAllocatorDefault, kIOHIDOptionsTypeNone);
        IOHIDManagerSetDeviceMatchingMultiple(manager, matching);
        EXPECT_EQ(IOHIDManagerOpen(manager, kIOHIDOptionsTypeNone), kIOReturnSuccess);
    }

    void releaseManager()
    {
        if (manager != nullptr)
            CFRelease(manager);
        manager = nullptr;
    }

    // Announces arrivals to the log on this thread's run loop.
    void schedule(CallbackLog& log)
    {
        IOHIDManagerRegisterDeviceMatchingCallback(manager, CallbackLog::matched, &log);
        IOHIDManagerScheduleWithRunLoop(manager, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }

    // Opens a manager on the present devices and watches the first one's removal and reports.
    IOHIDDeviceRef openWatched(CallbackLog& log)
    {
        openManager();
        schedule(log);
        IOHIDDeviceRef device = devicesOf(manager).at(0);
        log.watch(device);
        return device;
    }

    IOHIDManagerRef manager = nullptr;
};
