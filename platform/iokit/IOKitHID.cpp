#include "IOKitHID.h"

#include "HidManager.h"

IOHIDManagerRef IOHIDManagerCreate(CFAllocatorRef, IOOptionBits) { return new __IOHIDManager(); }

void IOHIDManagerSetDeviceMatchingMultiple(IOHIDManagerRef manager, CFArrayRef multiple)
{
    platform::requireObject(manager, "IOHIDManagerSetDeviceMatchingMultiple");
    manager->setMatching(multiple);
}

IOReturn IOHIDManagerOpen(IOHIDManagerRef manager, IOOptionBits)
{
    platform::requireObject(manager, "IOHIDManagerOpen");
    return manager->open();
}

IOReturn IOHIDManagerClose(IOHIDManagerRef manager, IOOptionBits)
{
    platform::requireObject(manager, "IOHIDManagerClose");
    manager->close();
    return kIOReturnSuccess;
}

CFSetRef IOHIDManagerCopyDevices(IOHIDManagerRef manager)
{
    platform::requireObject(manager, "IOHIDManagerCopyDevices");
    return manager->copyDevices();
}

void IOHIDManagerRegisterDeviceMatchingCallback(IOHIDManagerRef manager, IOHIDDeviceCallback callback, void* context)
{
    platform::requireObject(manager, "IOHIDManagerRegisterDeviceMatchingCallback");
    manager->registerMatchingCallback(callback, context);
}

void IOHIDManagerScheduleWithRunLoop(IOHIDManagerRef manager, CFRunLoopRef runLoop, CFStringRef)
{
    platform::requireObject(manager, "IOHIDManagerScheduleWithRunLoop");
    platform::requireObject(runLoop, "IOHIDManagerScheduleWithRunLoop");
    manager->schedule(runLoop);
}

CFTypeRef IOHIDDeviceGetProperty(IOHIDDeviceRef device, CFStringRef key)
{
    platform::requireObject(device, "IOHIDDeviceGetProperty");
    return device->property(key);
}

void IOHIDDeviceRegisterRemovalCallback(IOHIDDeviceRef device, IOHIDCallback callback, void* context)
{
    platform::requireObject(device, "IOHIDDeviceRegisterRemovalCallback");
    device->registerRemovalCallback(callback, context);
}

void IOHIDDeviceRegisterInputReportCallback(IOHIDDeviceRef device, uint8_t* report, CFIndex reportLength,
                                            IOHIDReportCallback callback, void* context)
{
    platform::requireObject(device, "IOHIDDeviceRegisterInputReportCallback");
    device->registerInputReportCallback(report, reportLength, callback, context);
}

IOReturn IOHIDDeviceOpen(IOHIDDeviceRef device, IOOptionBits)
{
    if (device == nullptr)
        return kIOReturnBadArgument;
    return device->open();
}

void IOHIDDeviceScheduleWithRunLoop(IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef)
{
    platform::requireObject(device, "IOHIDDeviceScheduleWithRunLoop");
    platform::requireObject(runLoop, "IOHIDDeviceScheduleWithRunLoop");
    device->schedule(runLoop);
}

void IOHIDDeviceUnscheduleFromRunLoop(IOHIDDeviceRef device, CFRunLoopRef runLoop, CFStringRef)
{
    platform::requireObject(device, "IOHIDDeviceUnscheduleFromRunLoop");
    device->unschedule(runLoop);
}

IOReturn IOHIDDeviceSetReport(IOHIDDeviceRef device, IOHIDReportType reportType, CFIndex reportID,
                              const uint8_t* report, CFIndex reportLength)
{
    if (device == nullptr)
        return kIOReturnBadArgument;
    return device->setReport(reportType, reportID, report, reportLength);
}
