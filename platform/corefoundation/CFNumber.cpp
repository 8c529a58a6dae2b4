#include "CoreFoundation.h"

#include "CFObject.h"

#include <cstring>

using platform::CFObject;

// Numbers: the program stores and reads only 32-bit integers (device properties, usage pages).

struct __CFNumber : CFObject
{
    explicit __CFNumber(int32_t value) : CFObject(platform::typeNumber), value(value) {}

    bool equals(const CFObject& other) const override { return value == static_cast<const __CFNumber&>(other).value; }

    const int32_t value;
};

static bool is32Bit(CFNumberType type) { return type == kCFNumberSInt32Type || type == kCFNumberIntType; }

CFTypeID CFNumberGetTypeID() { return platform::typeNumber; }

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void* valuePtr)
{
    if (valuePtr == nullptr || !is32Bit(type))
        return nullptr;
    int32_t value;
    std::memcpy(&value, valuePtr, sizeof value);
    return new __CFNumber(value);
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* valuePtr)
{
    platform::requireObject(number, "CFNumberGetValue");
    if (valuePtr == nullptr || !is32Bit(type))
        return false;
    std::memcpy(valuePtr, &number->value, sizeof number->value);
    return true;
}
