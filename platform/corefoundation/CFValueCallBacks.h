#pragma once

// How the CF containers hold their values: the retain, release and equality callbacks given at
// creation, or none (values held as bare pointers, compared by address).

#include "CoreFoundation.h"

namespace platform
{

struct ValueOps
{
    CFArrayRetainCallBack retain = nullptr;
    CFArrayReleaseCallBack release = nullptr;
    CFArrayEqualCallBack equal = nullptr;

    const void* take(const void* v) const { return retain != nullptr ? retain(kCFAllocatorDefault, v) : v; }
    void drop(const void* v) const
    {
        if (release != nullptr)
            release(kCFAllocatorDefault, v);
    }
    bool same(const void* a, const void* b) const { return a == b || (equal != nullptr && equal(a, b)); }
};

// Array, dictionary-key, dictionary-value and set callbacks share these three members.
template <typename CallBacks>
ValueOps opsOf(const CallBacks* callBacks)
{
    ValueOps ops;
    if (callBacks != nullptr)
    {
        ops.retain = callBacks->retain;
        ops.release = callBacks->release;
        ops.equal = callBacks->equal;
    }
    return ops;
}

} // namespace platform
