#pragma once

// How the CF containers hold their values: the retain, release and equality callbacks given at
// creation, or none (values held as bare pointers, compared by address).

#include "CoreFoundation.h"

namespace platform
{

struct ValueOps
{
    explicit ValueOps(const CFArrayCallBacks* callBacks)
        : retain(callBacks != nullptr ? callBacks->retain : nullptr),
          release(callBacks != nullptr ? callBacks->release : nullptr),
          equal(callBacks != nullptr ? callBacks->equal : nullptr)
    {
    }

    const void* take(const void* v) const { return retain != nullptr ? retain(kCFAllocatorDefault, v) : v; }
    void drop(const void* v) const
    {
        if (release != nullptr)
            release(kCFAllocatorDefault, v);
    }
    bool same(const void* a, const void* b) const { return a == b || (equal != nullptr && equal(a, b)); }

    CFArrayRetainCallBack retain;
    CFArrayReleaseCallBack release;
    CFArrayEqualCallBack equal;
};

} // namespace platform
