#include "HIDDeviceList.h"

#include <cstdint>
#include <cstdio>

IOHIDManagerRef gIOHIDManagerRef = nullptr;
CFMutableArrayRef gDeviceCFArrayRef = nullptr;
CFIndex gDeviceIndex = 0;

namespace
{
// The names put in front of this layer's diagnostics.
const char* const kBuildSignature = "Boolean HIDBuildMultiDeviceList(const UInt32 *, const UInt32 *, int)";
const char* const kDictionarySignature = "CFMutableDictionaryRef hu_SetUpMatchingDictionary(UInt32, UInt32)";

// Matching for the given pairs; pairs whose dictionary cannot be made are left out, and
// without an array at all the manager matches every HID device.
void setManagerMatching(const UInt32* usagePages, const UInt32* usages, int count)
{
    if (usagePages == nullptr || usages == nullptr || count == 0)
    {
        IOHIDManagerSetDeviceMatchingMultiple(gIOHIDManagerRef, nullptr);
        return;
    }

    CFMutableArrayRef matchingArray = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    if (matchingArray == nullptr)
    {
        fprintf(stderr, "%s: Couldn\u2019t create a matching array.", kBuildSignature);
        IOHIDManagerSetDeviceMatchingMultiple(gIOHIDManagerRef, nullptr);
        return;
    }

    for (int i = 0; i < count; ++i)
    {
        CFMutableDictionaryRef dict = hu_SetUpMatchingDictionary(usagePages[i], usages[i]);
        if (dict == nullptr)
        {
            fprintf(stderr, "%s: Couldn\u2019t create a matching dictionary.", kBuildSignature);
            continue;
        }
        CFArrayAppendValue(matchingArray, dict);
        CFRelease(dict);
    }

    IOHIDManagerSetDeviceMatchingMultiple(gIOHIDManagerRef, matchingArray);
    CFRelease(matchingArray);
}

long getUInt32Property(IOHIDDeviceRef device, CFStringRef key)
{
    if (device == nullptr)
        return 0;

    CFTypeRef property = IOHIDDeviceGetProperty(device, key);
    if (property == nullptr || CFGetTypeID(property) != CFNumberGetTypeID())
        return 0;

    // The 32 bits are taken as unsigned: a negative stored value reads as value + 2^32.
    uint32_t value = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(property), kCFNumberSInt32Type, &value);
    return static_cast<long>(value);
}
} // namespace

Boolean HIDBuildMultiDeviceList(const UInt32* inUsagePages, const UInt32* inUsages, int inNumDeviceTypes)
{
    const bool managerExisted = gIOHIDManagerRef != nullptr;
    if (!managerExisted)
    {
        gIOHIDManagerRef = IOHIDManagerCreate(kCFAllocatorDefault, 0);
        if (gIOHIDManagerRef == nullptr)
        {
            fprintf(stderr, "%s: Couldn\u2019t create a IOHIDManager.", kBuildSignature);
            return false;
        }
    }

    setManagerMatching(inUsagePages, inUsages, inNumDeviceTypes);

    if (!managerExisted && IOHIDManagerOpen(gIOHIDManagerRef, 0) != kIOReturnSuccess)
    {
        fprintf(stderr, "%s: Couldn\u2019t open IOHIDManager.", kBuildSignature);
        return false;
    }

    HIDRebuildDevices();
    return true;
}

Boolean HIDBuildDeviceList(UInt32 inUsagePage, UInt32 inUsage)
{
    return HIDBuildMultiDeviceList(&inUsagePage, &inUsage, 1);
}

void HIDRebuildDevices(void)
{
    CFSetRef devices = IOHIDManagerCopyDevices(gIOHIDManagerRef);
    if (devices == nullptr)
        return;

    HIDReleaseDeviceList();
    gDeviceCFArrayRef = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    if (gDeviceCFArrayRef != nullptr)
    {
        CFSetApplyFunction(devices, CFSetApplierFunctionCopyToCFArray, gDeviceCFArrayRef);
        CFArraySortValues(gDeviceCFArrayRef, CFRangeMake(0, CFArrayGetCount(gDeviceCFArrayRef)),
                          CFDeviceArrayComparatorFunction, nullptr);
    }
    CFRelease(devices);
}

void HIDReleaseDeviceList(void)
{
    if (gDeviceCFArrayRef != nullptr)
    {
        CFRelease(gDeviceCFArrayRef);
        gDeviceCFArrayRef = nullptr;
    }
}

CFMutableDictionaryRef hu_SetUpMatchingDictionary(UInt32 inUsagePage, UInt32 inUsage)
{
    CFMutableDictionaryRef dict = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                            &kCFTypeDictionaryValueCallBacks);
    if (dict == nullptr)
    {
        fprintf(stderr, "%s: CFDictionaryCreateMutable failed.", kDictionarySignature);
        return nullptr;
    }
    if (inUsagePage == 0)
        return dict;

    CFNumberRef pageNumber = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &inUsagePage);
    if (pageNumber == nullptr)
    {
        fprintf(stderr, "%s: CFNumberCreate( usage page ) failed.", kDictionarySignature);
        return dict;
    }
    CFDictionarySetValue(dict, CFSTR("PrimaryUsagePage"), pageNumber);
    CFRelease(pageNumber);

    if (inUsage == 0)
        return dict;

    CFNumberRef usageNumber = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &inUsage);
    if (usageNumber == nullptr)
    {
        fprintf(stderr, "%s: CFNumberCreate( usage ) failed.", kDictionarySignature);
        return dict;
    }
    CFDictionarySetValue(dict, CFSTR("PrimaryUsage"), usageNumber);
    CFRelease(usageNumber);
    return dict;
}

void CFSetApplierFunctionCopyToCFArray(const void* value, void* context)
{
    CFArrayAppendValue(static_cast<CFMutableArrayRef>(context), value);
}

CFComparisonResult CFDeviceArrayComparatorFunction(const void* val1, const void* val2, void* /*context*/)
{
    const long loc1 = IOHIDDevice_GetLocationID(static_cast<IOHIDDeviceRef>(const_cast<void*>(val1)));
    const long loc2 = IOHIDDevice_GetLocationID(static_cast<IOHIDDeviceRef>(const_cast<void*>(val2)));
    if (loc1 < loc2)
        return kCFCompareLessThan;
    if (loc1 > loc2)
        return kCFCompareGreaterThan;
    return kCFCompareEqualTo;
}

IOHIDDeviceRef HIDGetFirstDevice(void)
{
    gDeviceIndex = 0;
    if (gDeviceCFArrayRef == nullptr || CFArrayGetCount(gDeviceCFArrayRef) == 0)
        return nullptr;
    return static_cast<IOHIDDeviceRef>(const_cast<void*>(CFArrayGetValueAtIndex(gDeviceCFArrayRef, 0)));
}

IOHIDDeviceRef HIDGetNextDevice(IOHIDDeviceRef inIOHIDDeviceRef)
{
    if (inIOHIDDeviceRef == nullptr || gDeviceCFArrayRef == nullptr)
        return nullptr;

    const CFIndex count = CFArrayGetCount(gDeviceCFArrayRef);
    if (gDeviceIndex < 0 || gDeviceIndex >= count)
        return nullptr;

    if (CFArrayGetValueAtIndex(gDeviceCFArrayRef, gDeviceIndex) == inIOHIDDeviceRef)
    {
        ++gDeviceIndex;
    }
    else
    {
        // The given device is not the one at the cursor: find it and continue after it.
        gDeviceIndex = -1;
        for (CFIndex i = 0; i < count; ++i)
        {
            if (CFArrayGetValueAtIndex(gDeviceCFArrayRef, i) == inIOHIDDeviceRef)
            {
                gDeviceIndex = i + 1;
                break;
            }
        }
        if (gDeviceIndex < 0)
            return nullptr;
    }

    if (gDeviceIndex >= count)
        return nullptr;
    return static_cast<IOHIDDeviceRef>(const_cast<void*>(CFArrayGetValueAtIndex(gDeviceCFArrayRef, gDeviceIndex)));
}

long IOHIDDevice_GetVendorID(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getUInt32Property(inIOHIDDeviceRef, CFSTR("VendorID"));
}

long IOHIDDevice_GetProductID(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getUInt32Property(inIOHIDDeviceRef, CFSTR("ProductID"));
}

long IOHIDDevice_GetVersionNumber(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getUInt32Property(inIOHIDDeviceRef, CFSTR("VersionNumber"));
}

long IOHIDDevice_GetLocationID(IOHIDDeviceRef inIOHIDDeviceRef)
{
    return getUInt32Property(inIOHIDDeviceRef, CFSTR("LocationID"));
}
