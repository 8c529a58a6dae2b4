#include "CoreFoundation.h"

#include "CFObject.h"
#include "CFValueCallBacks.h"

#include <algorithm>
#include <vector>

using platform::CFObject;
using platform::ValueOps;

// Sets: values held once each, through the callbacks given at creation.

struct __CFSet : CFObject
{
    explicit __CFSet(ValueOps ops) : CFObject(platform::typeSet), ops(ops) {}
    ~__CFSet() override
    {
        for (auto* v : values)
            ops.drop(v);
    }

    bool contains(const void* value) const
    {
        return std::any_of(values.begin(), values.end(), [&](const void* v) { return ops.same(v, value); });
    }

    const ValueOps ops;
    std::vector<const void*> values;
};

CFSetRef CFSetCreate(CFAllocatorRef, const void** values, CFIndex count, const CFSetCallBacks* callBacks)
{
    auto* set = new __CFSet(ValueOps(callBacks));
    for (CFIndex i = 0; values != nullptr && i < count; ++i)
        if (!set->contains(values[i]))
            set->values.push_back(set->ops.take(values[i]));
    return set;
}

void CFSetApplyFunction(CFSetRef set, CFSetApplierFunction applier, void* context)
{
    platform::requireObject(set, "CFSetApplyFunction");
    for (auto* v : set->values)
        applier(v, context);
}
