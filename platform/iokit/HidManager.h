#pragma once

// The object behind an IOHIDManagerRef: watches one HidDeviceSource, keeps the present devices
// that pass its matching, and announces arrivals on the run loop it is scheduled on.
//
// Threading: one thread (the one it is scheduled on) uses it; callbacks are posted to its run
// loop, each holding a reference, so a callback may release the manager.
// Ownership: owns its source and one reference to each present device; a removed device is let
// go at once (its posted removal callback and any sender hold their own references), and so is
// every device when the manager is closed.

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
    void close();
    CFSetRef copyDevices() const;
    void registerMatchingCallback(IOHIDDeviceCallback callback, void* context);
    void schedule(CFRunLoopRef runLoop);

private:
    bool matches(const __IOHIDDevice& device) const;
    void reconcile();
    bool addDevice(const platform::HidDeviceDescription& description); // false when it does not match
    void removeDevice(const std::string& key);
    void watch();
    void processEvents();
    // Posts one matching call per device; a device gone by then is left out.
    void announce(std::vector<std::string> keys);
    void announcePresentDevices();

    const std::shared_ptr<platform::HidDeviceSource> m_source;
    std::vector<CFDictionaryRef> m_matching; // retained; empty with m_matchAll
    bool m_matchAll = true;
    bool m_open = false;
    std::map<std::string, platform::HidDeviceDescription> m_known; // every present device
    std::map<std::string, __IOHIDDevice*> m_devices;               // present and matching; retained
    IOHIDDeviceCallback m_matchingCallback = nullptr;
    void* m_matchingContext = nullptr;
    std::shared_ptr<platform::RunLoop> m_runLoop;
    uint64_t m_sourceId = 0;
};
