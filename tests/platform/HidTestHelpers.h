#pragma once

// Small helpers shared by the HID tests: property reads, matching dictionaries, device lists and
// a recorder of callbacks.

#include <platform/IOKitHID.h>

#include <cstring>
#include <thread>
#include <vector>

inline long numberProperty (IOHIDDeviceRef device, const char* key)
{
    CFTypeRef value = IOHIDDeviceGetProperty (device, __CFStringMakeConstantString (key));
    if (value == nullptr || CFGetTypeID (value) != CFNumberGetTypeID())
        return -1;
    long number = 0;
    CFNumberGetValue (static_cast<CFNumberRef> (value), kCFNumberSInt32Type, &number);
    return number;
}

// A matching array of one dictionary with the given numeric properties.
inline CFArrayRef createMatching (const std::vector<std::pair<const char*, int>>& entries)
{
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable (kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                   &kCFTypeDictionaryValueCallBacks);
    for (auto& entry : entries)
    {
        CFNumberRef number = CFNumberCreate (kCFAllocatorDefault, kCFNumberIntType, &entry.second);
        CFDictionarySetValue (dictionary, __CFStringMakeConstantString (entry.first), number);
        CFRelease (number);
    }
    const void* values[] = { dictionary };
    CFArrayRef array = CFArrayCreate (kCFAllocatorDefault, values, 1, &kCFTypeArrayCallBacks);
    CFRelease (dictionary);
    return array;
}

// The manager's devices; the returned references are owned by the manager.
inline std::vector<IOHIDDeviceRef> devicesOf (IOHIDManagerRef manager)
{
    std::vector<IOHIDDeviceRef> devices;
    CFSetRef set = IOHIDManagerCopyDevices (manager);
    if (set == nullptr)
        return devices;
    CFSetApplyFunction (
        set, [] (const void* value, void* context) {
            static_cast<std::vector<IOHIDDeviceRef>*> (context)->push_back ((IOHIDDeviceRef) value);
        },
        &devices);
    CFRelease (set);
    return devices;
}

inline IOHIDDeviceRef deviceAt (IOHIDManagerRef manager, long locationID)
{
    for (auto* device : devicesOf (manager))
        if (numberProperty (device, kIOHIDLocationIDKey) == locationID)
            return device;
    return nullptr;
}

// Records every callback with the thread it ran on.
struct CallbackLog
{
    int matchings = 0;
    int removals = 0;
    int reports = 0;
    IOHIDDeviceRef lastMatched = nullptr;
    void* lastRemovalSender = nullptr;
    std::vector<std::vector<uint8_t>> reportsSeen;
    std::vector<std::thread::id> threads;
    uint8_t buffer[64] {};

    static void matched (void* context, IOReturn, void*, IOHIDDeviceRef device)
    {
        auto& log = *static_cast<CallbackLog*> (context);
        ++log.matchings;
        log.lastMatched = device;
        log.threads.push_back (std::this_thread::get_id());
    }
    static void removed (void* context, IOReturn, void* sender)
    {
        auto& log = *static_cast<CallbackLog*> (context);
        ++log.removals;
        log.lastRemovalSender = sender;
        log.threads.push_back (std::this_thread::get_id());
    }
    static void report (void* context, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t* data, CFIndex length)
    {
        auto& log = *static_cast<CallbackLog*> (context);
        ++log.reports;
        log.reportsSeen.emplace_back (data, data + length);
        log.threads.push_back (std::this_thread::get_id());
    }

    void watch (IOHIDDeviceRef device)
    {
        IOHIDDeviceRegisterRemovalCallback (device, removed, this);
        IOHIDDeviceRegisterInputReportCallback (device, buffer, sizeof buffer, report, this);
        IOHIDDeviceScheduleWithRunLoop (device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }

    bool allOnThread (std::thread::id thread) const
    {
        for (auto& id : threads)
            if (id != thread)
                return false;
        return true;
    }
};

inline std::vector<uint8_t> patternReport (uint8_t seed)
{
    // Every byte value appears across reports, including 0x00, 0x0A, 0x0D and 0xFF, which a
    // byte stream could mangle.
    std::vector<uint8_t> report (64);
    for (size_t i = 0; i < report.size(); ++i)
        report[i] = (uint8_t) (seed + i * 37);
    report[1] = 0x0A;
    report[2] = 0x0D;
    report[3] = 0x00;
    report[4] = 0xFF;
    return report;
}
