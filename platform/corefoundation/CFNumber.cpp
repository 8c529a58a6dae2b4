#include "CoreFoundation.h"

#include "CFObject.h"

#include <cmath>
#include <cstring>
#include <functional>

using platform::CFObject;

// Numbers: integers are held as 64-bit signed values, floating-point ones as doubles.

struct __CFNumber : CFObject
{
    __CFNumber(bool isFloat, int64_t i, double d)
        : CFObject(platform::typeNumber),
          isFloat(isFloat),
          integer(i),
          real(d)
    {
    }

    bool equals(const CFObject& other) const override
    {
        const auto& n = static_cast<const __CFNumber&>(other);
        if (isFloat || n.isFloat)
            return asDouble() == n.asDouble();
        return integer == n.integer;
    }
    CFHashCode hash() const override { return isFloat ? std::hash<double>()(real) : std::hash<int64_t>()(integer); }
    double asDouble() const { return isFloat ? real : (double)integer; }

    const bool isFloat;
    const int64_t integer;
    const double real;
};

namespace
{
struct NumberLayout
{
    size_t size;
    bool isFloat;
};

bool layoutOf(CFNumberType type, NumberLayout& layout)
{
    switch (type)
    {
        case kCFNumberSInt8Type:
        case kCFNumberCharType: layout = { 1, false }; return true;
        case kCFNumberSInt16Type:
        case kCFNumberShortType: layout = { 2, false }; return true;
        case kCFNumberSInt32Type:
        case kCFNumberIntType: layout = { 4, false }; return true;
        case kCFNumberSInt64Type:
        case kCFNumberLongType:
        case kCFNumberLongLongType:
        case kCFNumberCFIndexType:
        case kCFNumberNSIntegerType: layout = { 8, false }; return true;
        case kCFNumberFloat32Type:
        case kCFNumberFloatType: layout = { 4, true }; return true;
        case kCFNumberFloat64Type:
        case kCFNumberDoubleType:
        case kCFNumberCGFloatType: layout = { 8, true }; return true;
        default: return false;
    }
}

template <typename T>
T readAs(const void* p)
{
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

template <typename T>
bool writeInteger(int64_t value, void* p)
{
    const T narrowed = (T)value;
    std::memcpy(p, &narrowed, sizeof(T));
    return (int64_t)narrowed == value;
}

template <typename T>
bool writeFloat(double value, void* p)
{
    const T narrowed = (T)value;
    std::memcpy(p, &narrowed, sizeof(T));
    return (double)narrowed == value || std::isnan(value);
}
} // namespace

CFTypeID CFNumberGetTypeID() { return platform::typeNumber; }

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType type, const void* valuePtr)
{
    NumberLayout layout;
    if (valuePtr == nullptr || !layoutOf(type, layout))
        return nullptr;
    if (layout.isFloat)
    {
        const double d = layout.size == 4 ? (double)readAs<float>(valuePtr) : readAs<double>(valuePtr);
        return new __CFNumber(true, 0, d);
    }
    const int64_t i = layout.size == 1   ? readAs<int8_t>(valuePtr)
                      : layout.size == 2 ? readAs<int16_t>(valuePtr)
                      : layout.size == 4 ? readAs<int32_t>(valuePtr)
                                         : readAs<int64_t>(valuePtr);
    return new __CFNumber(false, i, 0.0);
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* valuePtr)
{
    platform::requireObject(number, "CFNumberGetValue");
    NumberLayout layout;
    if (valuePtr == nullptr || !layoutOf(type, layout))
        return false;
    if (layout.isFloat)
        return layout.size == 4 ? writeFloat<float>(number->asDouble(), valuePtr)
                                : writeFloat<double>(number->asDouble(), valuePtr);

    const int64_t i = number->isFloat ? (int64_t)number->real : number->integer;
    const bool exact = !number->isFloat || (double)i == number->real;
    switch (layout.size)
    {
        case 1: return writeInteger<int8_t>(i, valuePtr) && exact;
        case 2: return writeInteger<int16_t>(i, valuePtr) && exact;
        case 4: return writeInteger<int32_t>(i, valuePtr) && exact;
        default: return writeInteger<int64_t>(i, valuePtr) && exact;
    }
}
