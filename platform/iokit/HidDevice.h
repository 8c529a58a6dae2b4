#pragma once

// The object behind an IOHIDDeviceRef: one present (or removed) HID device found by a manager.
//
// Threading: everything but setReport runs on the thread the device is scheduled on (the
// manager's thread). setReport may run on any thread at the same time; a mutex guards the
// connection, the removed flag and the registrations, and no callback is called with it held.
// Ownership: created by its manager, which holds one reference while the device is present; the
// posted removal callback holds another until it has run, and a sender retains it while it
// sends. The node is opened on first need and closed when the device is removed or destroyed (a
// write in flight keeps it open until it returns).

#include "CFObject.h"
#include "HidDeviceSource.h"
#include "IOKitHID.h"
#include "RunLoop.h"

#include <mutex>

struct __IOHIDDevice : platform::CFObject
{
    __IOHIDDevice(platform::HidDeviceDescription description, std::shared_ptr<platform::HidDeviceSource> source);
    ~__IOHIDDevice() override;

    const platform::HidDeviceDescription& description() const { return m_description; }
    CFTypeRef property(CFStringRef key) const;

    void registerRemovalCallback(IOHIDCallback callback, void* context);
    void registerInputReportCallback(uint8_t* buffer, CFIndex capacity, IOHIDReportCallback callback, void* context);
    // Opens the node unless it is open (see IOHIDDeviceOpen).
    IOReturn open();
    void schedule(CFRunLoopRef runLoop);
    void unschedule(CFRunLoopRef runLoop);
    IOReturn setReport(IOHIDReportType type, CFIndex reportID, const uint8_t* report, CFIndex length);

    // The device has gone: closes the node and, if scheduled, posts the removal callback to the
    // run loop. Only the first call (of this and close) counts.
    void markRemoved();
    // Its manager is going: closes the node without a removal callback; later sends fail.
    void close();

private:
    std::shared_ptr<platform::HidConnection> connectionLocked(); // opens on first need
    bool watchLocked();
    void unwatchLocked();
    void onReadable(uint32_t pollEvents);
    void deliverInputReport(const std::vector<uint8_t>& report);
    void deliverRemoval();
    // Marks the device gone and closes the node; the run loop it was scheduled on, if it was not
    // gone already.
    std::shared_ptr<platform::RunLoop> shutDown();

    const platform::HidDeviceDescription m_description;
    const std::shared_ptr<platform::HidDeviceSource> m_source;
    CFMutableDictionaryRef m_properties;

    std::mutex m_mutex;
    std::shared_ptr<platform::HidConnection> m_connection;
    bool m_removed = false;
    bool m_openFailureReported = false;
    bool m_inUseElsewhere = false; // the last open failed because another open holds the node
    IOHIDCallback m_removalCallback = nullptr;
    void* m_removalContext = nullptr;
    IOHIDReportCallback m_inputCallback = nullptr;
    void* m_inputContext = nullptr;
    uint8_t* m_inputBuffer = nullptr;
    CFIndex m_inputCapacity = 0;
    std::shared_ptr<platform::RunLoop> m_runLoop;
    uint64_t m_sourceId = 0;
};
