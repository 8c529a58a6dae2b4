#include "CoreFoundation.h"

#include "CFObject.h"
#include "CFValueCallBacks.h"

#include <algorithm>
#include <vector>

using platform::CFObject;
using platform::ValueOps;

// Arrays: a vector of values held through the callbacks given at creation.

struct __CFArray : CFObject
{
    explicit __CFArray(ValueOps ops) : CFObject(platform::typeArray), ops(ops) {}
    ~__CFArray() override
    {
        for (auto* v : values)
            ops.drop(v);
    }

    const ValueOps ops;
    std::vector<const void*> values;
};

CFTypeID CFArrayGetTypeID() { return platform::typeArray; }

CFArrayRef CFArrayCreate(CFAllocatorRef, const void** values, CFIndex count, const CFArrayCallBacks* callBacks)
{
    auto* array = new __CFArray(ValueOps(callBacks));
    for (CFIndex i = 0; values != nullptr && i < count; ++i)
        array->values.push_back(array->ops.take(values[i]));
    return array;
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex, const CFArrayCallBacks* callBacks)
{
    return new __CFArray(ValueOps(callBacks));
}

CFIndex CFArrayGetCount(CFArrayRef array)
{
    platform::requireObject(array, "CFArrayGetCount");
    return (CFIndex)array->values.size();
}

const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index)
{
    platform::requireObject(array, "CFArrayGetValueAtIndex");
    if (index < 0 || index >= (CFIndex)array->values.size())
        return nullptr;
    return array->values[(size_t)index];
}

void CFArrayAppendValue(CFMutableArrayRef array, const void* value)
{
    platform::requireObject(array, "CFArrayAppendValue");
    array->values.push_back(array->ops.take(value));
}

void CFArraySortValues(CFMutableArrayRef array, CFRange range, CFComparatorFunction comparator, void* context)
{
    platform::requireObject(array, "CFArraySortValues");
    const CFIndex count = (CFIndex)array->values.size();
    if (comparator == nullptr || range.location < 0 || range.length <= 0 || range.location + range.length > count)
        return;
    auto first = array->values.begin() + range.location;
    std::stable_sort(first, first + range.length,
                     [&](const void* a, const void* b) { return comparator(a, b, context) == kCFCompareLessThan; });
}
