#pragma once

// The process-wide HID manager and a location-sorted snapshot of its devices.
//
// Not thread-safe: every function and global here belongs to the thread that owns the HID layer
// (the message thread). One cursor serves the whole process, so one walk at a time.
// Failures are reported by a false or zero result and a message on stderr.

#include <platform/CoreFoundation.h>
#include <platform/IOKitHID.h>

// The one HID manager of the process; created and opened by the first build, never released
// here. HidUtil's destructor drops it so that the next build creates a fresh one.
extern IOHIDManagerRef gIOHIDManagerRef;

// The manager's devices sorted by ascending location ID (the array retains them), or null.
extern CFMutableArrayRef gDeviceCFArrayRef;

// Index of the device last returned by HIDGetFirstDevice / HIDGetNextDevice; -1 after a failed search.
extern CFIndex gDeviceIndex;

// Creates (and on creation opens) the manager, sets its matching from the usage page/usage pairs
// and rebuilds the device list. Null arrays or a count of 0 match every HID device.
Boolean HIDBuildMultiDeviceList(const UInt32* inUsagePages, const UInt32* inUsages, int inNumDeviceTypes);

// HIDBuildMultiDeviceList with one pair.
Boolean HIDBuildDeviceList(UInt32 inUsagePage, UInt32 inUsage);

// Replaces the list with the manager's current devices; keeps the old list when there are none.
void HIDRebuildDevices(void);

// Drops the list; the manager and the cursor stay.
void HIDReleaseDeviceList(void);

// A matching dictionary for one pair; the caller owns it. Page 0 leaves it empty, usage 0 leaves
// out "PrimaryUsage".
CFMutableDictionaryRef hu_SetUpMatchingDictionary(UInt32 inUsagePage, UInt32 inUsage);

// CFSet applier: appends the value to the CFMutableArray passed as context.
void CFSetApplierFunctionCopyToCFArray(const void* value, void* context);

// Orders two devices by location ID as unsigned 32-bit numbers.
CFComparisonResult CFDeviceArrayComparatorFunction(const void* val1, const void* val2, void* context);

// Starts the walk: the first listed device, or null.
IOHIDDeviceRef HIDGetFirstDevice(void);

// The listed device after the given one, or null; once past the end or after a failed search,
// null until HIDGetFirstDevice is called again.
IOHIDDeviceRef HIDGetNextDevice(IOHIDDeviceRef inIOHIDDeviceRef);

// Device properties as unsigned 32-bit values; 0 for a null device, a missing property or one
// that is not a number.
long IOHIDDevice_GetVendorID(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetProductID(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetVersionNumber(IOHIDDeviceRef inIOHIDDeviceRef);
long IOHIDDevice_GetLocationID(IOHIDDeviceRef inIOHIDDeviceRef);
