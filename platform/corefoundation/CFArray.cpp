#include "CoreFoundation.h"

#include "CFObject.h"
#include "CFValueCallBacks.h"

#include <algorithm>
#include <vector>

using platform::CFObject;
using platform::opsOf;
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

    bool equals(const CFObject& other) const override
    {
        const auto& a = static_cast<const __CFArray&>(other);
        if (a.values.size() != values.size())
            return false;
        for (size_t i = 0; i < values.size(); ++i)
            if (!ops.same(values[i], a.values[i]))
                return false;
        return true;
    }
    CFHashCode hash() const override { return values.size(); }

    const ValueOps ops;
    std::vector<const void*> values;
};

CFTypeID CFArrayGetTypeID() { return platform::typeArray; }

CFArrayRef CFArrayCreate(CFAllocatorRef, const void** values, CFIndex count, const CFArrayCallBacks* callBacks)
{
    auto* array = new __CFArray(opsOf(callBacks));
    for (CFIndex i = 0; values != nullptr && i < count; ++i)
        array->values.push_back(array->ops.take(values[i]));
    return array;
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex, const CFArrayCallBacks* callBacks)
{
    return new __CFArray(opsOf(callBacks));
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

void CFArrayRemoveValueAtIndex(CFMutableArrayRef array, CFIndex index)
{
    platform::requireObject(array, "CFArrayRemoveValueAtIndex");
    if (index < 0 || index >= (CFIndex)array->values.size())
        return;
    const void* value = array->values[(size_t)index];
    array->values.erase(array->values.begin() + index);
    array->ops.drop(value);
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
