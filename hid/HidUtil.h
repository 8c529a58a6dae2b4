#pragma once

#include <platform/CoreFoundation.h>
#include <platform/IOKitHID.h>

#include <cstdint>
#include <mutex>

class HidHandler;

// Holds at most one QEL-family HID device (vendor 0x3A91, product chosen by the device type):
// finds it among the present devices, follows its removal, takes a matching device that arrives
// later, receives its input reports into a 64-byte buffer and passes those whose first byte is
// 0xF0 or more to one HidHandler.
//
// Threading: everything except deviceOutput runs on the thread that called initialize (its run
// loop carries the device's callbacks). deviceOutput may run on another thread at the same time;
// it never uses a device that the owning thread has released.
//
// Ownership: the handler is not owned. The held device is not retained: the platform's manager
// owns it until its removal callback has run, and deviceOutput retains it for the length of a
// send. Only one holder is active per process, reachable through m_pinstance.
class HidUtil
{
public:
    static constexpr int kReportSize = 64;
    static constexpr long kVendorId = 0x3A91;

    // Product IDs indexed by device type.
    static const int32_t HidDeviceType[2];

    // The active holder, or null.
    static HidUtil* m_pinstance;

    HidUtil();
    virtual ~HidUtil();

    // Becomes the active holder and builds the device list. False, with nothing changed, when a
    // holder is already active or the device type is not 0 or 1.
    bool initialize(HidHandler* handler, int deviceType);

    // Takes the device if none is held, its vendor and product IDs match and its node opens (it
    // stays open, and held against other programs, until the device goes). Calls no handler.
    bool qelMatching(IOHIDDeviceRef device);

    // Looks for the device among the listed ones (lowest location first) and, on the first call,
    // arms hot-plug matching. True when a device is held.
    bool deviceMatching();

    // The held device's version number read as BCD (0x0123 -> 123); 0 without a device.
    long deviceVersion();

    // Copies up to `length` bytes of the last input report; returns the count. The third
    // argument is unused.
    unsigned long deviceInput(unsigned char* pdata, unsigned long length, int);

    // Sends one output report (report ID 0) synchronously. Callable from the worker thread.
    bool deviceOutput(unsigned char* pdata, unsigned long length);

    // Releases the held device without notifying anyone, drops the device list and the
    // manager's matching callback and stops being the active holder. Repeatable.
    void finalize();

    static void Handle_DeviceMatchingCallback(void* inContext, IOReturn inResult, void* inSender,
                                              IOHIDDeviceRef inIOHIDDeviceRef);
    static void Handle_IOHIDDeviceRemovalCallback(void* inContext, IOReturn inResult, void* inSender);
    static void Handle_IOHIDDeviceIOHIDReportCallback(void* inContext, IOReturn inResult, void* inSender,
                                                      IOHIDReportType inType, uint32_t inReportID, uint8_t* inReport,
                                                      CFIndex inReportLength);

    HidUtil(const HidUtil&) = delete;
    HidUtil& operator=(const HidUtil&) = delete;

private:
    void releaseDevice();

    HidHandler* m_pHandler;
    int32_t m_deviceType;
    // Written only on the owning thread, under m_deviceLock; read there freely and by
    // deviceOutput under the lock.
    IOHIDDeviceRef m_pDevice;
    unsigned char* m_pReportBuf;
    uint32_t m_reportLen;
    bool m_bMatchingRegistered;

    // Set once this holder has been the active one: only such a holder may touch the
    // process-wide manager and list when it finishes.
    bool m_bWasActive;
    std::mutex m_deviceLock;
};
