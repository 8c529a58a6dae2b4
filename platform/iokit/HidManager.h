#pragma once

// The object behind an IOHIDManagerRef: watches one HidDeviceSource, keeps the present devices
// that pass its matching, and announces arrivals on the run loop it is scheduled on.
//
// Threading: one thread (the one it is scheduled on) uses it; callbacks run there.
// Ownership: owns its source and its devices, present and removed; releasing the manager
// releases them.

#include "CFObject.h"
#include "HidDevice.h"

#include <map>
#include <vector>

struct __IOHIDManager : platform::CFObject
{
    __IOHIDManager();
    ~__IOHIDManager() override;

    void setMatching(CFArrayRef dictionaries); // null: every device
    IOReturn open();
    CFSetRef copyDevices() const;
    void registerMatchingCallback(IOHIDDeviceCallback callback, void* context);
    void schedule(CFRunLoopRef runLoop, CFStringRef mode);
    void unschedule(CFRunLoopRef runLoop, CFStringRef mode);

private:
    bool matches(const __IOHIDDevice& device) const;
    void reconcile();
    __IOHIDDevice* addDevice(const platform::HidDeviceDescription& description); // null when it does not match
    void removeDevice(const std::string& key);
    void watch();
    void processEvents();
    void announcePresentDevices();

    const std::shared_ptr<platform::HidDeviceSource> m_source;
    std::vector<CFDictionaryRef> m_matching; // retained; empty with m_matchAll
    bool m_matchAll = true;
    bool m_open = false;
    std::map<std::string, platform::HidDeviceDescription> m_known; // every present device
    std::map<std::string, __IOHIDDevice*> m_devices;               // present and matching; retained
    std::vector<__IOHIDDevice*> m_removed;                         // kept callable until we go
    IOHIDDeviceCallback m_matchingCallback = nullptr;
    void* m_matchingContext = nullptr;
    std::shared_ptr<platform::RunLoop> m_runLoop;
    std::string m_mode;
    uint64_t m_sourceId = 0;
};
