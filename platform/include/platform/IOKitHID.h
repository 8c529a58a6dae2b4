#pragma once

// The subset of Apple's IOKit HID Manager that this program uses, with Apple's names and C
// signatures, backed on Linux by libudev (enumeration, hot-plug) and hidraw (reports).
//
// Threading: a manager and its devices are used from the thread whose run loop they are
// scheduled on; every callback (matching, removal, input report) is posted to that run loop and
// runs there, so a callback may release the manager. IOHIDDeviceSetReport is the exception: it
// may be called from any thread. Only kCFRunLoopDefaultMode exists; the mode arguments are not
// looked at.
//
// Ownership: IOHIDManagerCreate returns an owned manager; IOHIDManagerCopyDevices an owned set.
// A device belongs to the manager that found it, which lets go of it once its removal callback
// has run (or at once when it is not scheduled). A removed device stays a valid object, on which
// every call fails cleanly, for as long as anyone retains it: a thread that sends on it retains
// it for the send.

#include "CoreFoundation.h"

typedef struct __IOHIDManager* IOHIDManagerRef;
typedef struct __IOHIDDevice* IOHIDDeviceRef;
typedef int IOReturn;
typedef UInt32 IOOptionBits;

enum : IOReturn
{
    kIOReturnSuccess = 0,
    kIOReturnError = (IOReturn)0xe00002bc,
    kIOReturnBadArgument = (IOReturn)0xe00002c2,
    kIOReturnUnsupported = (IOReturn)0xe00002c7,
    kIOReturnExclusiveAccess = (IOReturn)0xe00002c5,
    kIOReturnIOError = (IOReturn)0xe00002ca,
    kIOReturnNotOpen = (IOReturn)0xe00002cd,
    kIOReturnNotAttached = (IOReturn)0xe00002d9
};

enum : IOOptionBits
{
    kIOHIDOptionsTypeNone = 0
};

enum IOHIDReportType
{
    kIOHIDReportTypeInput = 0,
    kIOHIDReportTypeOutput = 1
};

// Device property keys, for CFSTR(kIOHIDVendorIDKey) and friends. Every one is a CFNumber
// (kCFNumberSInt32Type). LocationID: the USB bus number in the top byte, then the port path from
// the root, so that devices sort by where they are plugged; no two present devices share one.
#define kIOHIDVendorIDKey "VendorID"
#define kIOHIDProductIDKey "ProductID"
#define kIOHIDVersionNumberKey "VersionNumber"
#define kIOHIDLocationIDKey "LocationID"
#define kIOHIDPrimaryUsagePageKey "PrimaryUsagePage"
#define kIOHIDPrimaryUsageKey "PrimaryUsage"

// sender: the device (removal) or the manager (matching).
typedef void (*IOHIDCallback)(void* context, IOReturn result, void* sender);
typedef void (*IOHIDDeviceCallback)(void* context, IOReturn result, void* sender, IOHIDDeviceRef device);
typedef void (*IOHIDReportCallback)(void* context, IOReturn result, void* sender, IOHIDReportType type,
                                    uint32_t reportID, uint8_t* report, CFIndex reportLength);

// ---- Manager
IOHIDManagerRef IOHIDManagerCreate(CFAllocatorRef allocator, IOOptionBits options);
// Null, or an array holding an empty dictionary, matches every HID device. A dictionary matches
// a device when each of its keys equals the device's property; a device matches the array when
// any dictionary matches. The manager copies what it needs; the caller keeps its array.
void IOHIDManagerSetDeviceMatchingMultiple(IOHIDManagerRef manager, CFArrayRef multiple);
// Starts watching for hot-plug, then enumerates. kIOReturnSuccess, or kIOReturnError when the
// system's device database cannot be reached.
IOReturn IOHIDManagerOpen(IOHIDManagerRef manager, IOOptionBits options);
// Closes the node of every device the manager found, which it lets go of, and stops watching for
// hot-plug: sends on those devices fail from now on. IOHIDManagerOpen starts afresh.
IOReturn IOHIDManagerClose(IOHIDManagerRef manager, IOOptionBits options);

// A new set of the matching devices present now (caller releases it), or null when there is none.
CFSetRef IOHIDManagerCopyDevices(IOHIDManagerRef manager);
// Called for every matching device present when the manager is scheduled (or the callback is
// registered while scheduled) and for every later arrival, after the removals reported before
// it. Null unregisters.
void IOHIDManagerRegisterDeviceMatchingCallback(IOHIDManagerRef manager, IOHIDDeviceCallback callback, void* context);
void IOHIDManagerScheduleWithRunLoop(IOHIDManagerRef manager, CFRunLoopRef runLoop, CFStringRef runLoopMode);

// ---- Device
// The property (not owned by the caller), or null.
CFTypeRef IOHIDDeviceGetProperty(IOHIDDeviceRef device, CFStringRef key);
// Called once, when the device goes (udev "remove", or an error or hang-up on its node), while
// the device is scheduled. A device whose node the run loop cannot watch would never report
// input or removal: it is treated as removed at once. Null unregisters.
void IOHIDDeviceRegisterRemovalCallback(IOHIDDeviceRef device, IOHIDCallback callback, void* context);
// Each input report is copied into `report` (at most reportLength bytes) and the callback is
// called with the copied length. Null unregisters. The buffer must outlive the registration.
void IOHIDDeviceRegisterInputReportCallback(IOHIDDeviceRef device, uint8_t* report, CFIndex reportLength,
                                            IOHIDReportCallback callback, void* context);
// Opens the device's node unless it is open; a node that cannot be opened is reported once on
// stderr. kIOReturnSuccess; kIOReturnExclusiveAccess when another program (or another device object
// of this process) holds the node; kIOReturnNotOpen when it cannot be opened for another reason;
// kIOReturnNotAttached after removal. The node stays open until the device is removed or closed.
// Any thread.
IOReturn IOHIDDeviceOpen(IOHIDDeviceRef device, IOOptionBits options);
// Opens the device's node if needed; a node that cannot be opened is reported once on stderr.
void IOHIDDeviceScheduleWithRunLoop(IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef runLoopMode);
void IOHIDDeviceUnscheduleFromRunLoop(IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef runLoopMode);
// Synchronous; any thread. Output reports with report ID 0 only (anything else:
// kIOReturnUnsupported), sent as a 0x00 byte followed by the data. kIOReturnSuccess once the
// whole report was written; kIOReturnNotAttached after removal; kIOReturnNotOpen when the node
// cannot be opened; kIOReturnIOError when the write failed.
IOReturn IOHIDDeviceSetReport(IOHIDDeviceRef device, IOHIDReportType reportType, CFIndex reportID,
                              const uint8_t* report, CFIndex reportLength);
