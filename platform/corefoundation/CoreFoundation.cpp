#include "CoreFoundation.h"

#include "CFObject.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

using platform::asObject;
using platform::CFObject;

namespace platform
{

void CFObject::retain() const
{
    if (!m_immortal)
        m_refs.fetch_add(1, std::memory_order_relaxed);
}

void CFObject::release() const
{
    if (m_immortal)
        return;
    if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}

long CFObject::retainCount() const
{
    return m_immortal ? std::numeric_limits<long>::max() : m_refs.load(std::memory_order_relaxed);
}

void requireObject(CFTypeRef ref, const char* function)
{
    if (ref != nullptr)
        return;
    std::fprintf(stderr, "*** %s() called with NULL ***\n", function);
    std::abort();
}

} // namespace platform

// ---------------------------------------------------------------------------------------------
// Allocator: a single placeholder object; allocation always uses the C++ heap.

struct __CFAllocator
{
};
static const __CFAllocator defaultAllocator{};
const CFAllocatorRef kCFAllocatorDefault = &defaultAllocator;

// ---------------------------------------------------------------------------------------------
// Base operations

CFTypeRef CFRetain(CFTypeRef object)
{
    platform::requireObject(object, "CFRetain");
    asObject(object)->retain();
    return object;
}

void CFRelease(CFTypeRef object)
{
    platform::requireObject(object, "CFRelease");
    asObject(object)->release();
}

CFTypeID CFGetTypeID(CFTypeRef object)
{
    platform::requireObject(object, "CFGetTypeID");
    return asObject(object)->typeID();
}

Boolean CFEqual(CFTypeRef a, CFTypeRef b)
{
    platform::requireObject(a, "CFEqual");
    platform::requireObject(b, "CFEqual");
    if (a == b)
        return true;
    const CFObject& first = *asObject(a);
    const CFObject& second = *asObject(b);
    return first.typeID() == second.typeID() && first.equals(second);
}

// ---------------------------------------------------------------------------------------------
// The callback tables of containers of CF objects: retain, release, CFEqual.

static const void* retainValue(CFAllocatorRef, const void* value) { return CFRetain(value); }
static void releaseValue(CFAllocatorRef, const void* value) { CFRelease(value); }
static Boolean equalValues(const void* a, const void* b) { return CFEqual(a, b); }

const CFArrayCallBacks kCFTypeArrayCallBacks = { 0, retainValue, releaseValue, equalValues };
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = kCFTypeArrayCallBacks;
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = kCFTypeArrayCallBacks;
const CFSetCallBacks kCFTypeSetCallBacks = kCFTypeArrayCallBacks;
