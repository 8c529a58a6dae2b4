#pragma once

// The common base of every object behind a CFTypeRef, for the files that implement the
// CoreFoundation and IOKit work-alikes. Not for the program's own code.
//
// Threading: retain and release may run on any thread (the count is atomic).

#include "CoreFoundation.h"

#include <atomic>

namespace platform
{

enum CFTypeIDs : CFTypeID
{
    typeString = 7,
    typeNumber = 22,
    typeArray = 19,
    typeDictionary = 18,
    typeSet = 17,
    typeRunLoop = 43,
    typeHIDManager = 60,
    typeHIDDevice = 61
};

class CFObject
{
public:
    explicit CFObject(CFTypeID typeID, bool immortal = false) : m_typeID(typeID), m_immortal(immortal) {}
    virtual ~CFObject() = default;
    CFObject(const CFObject&) = delete;
    CFObject& operator=(const CFObject&) = delete;

    CFTypeID typeID() const { return m_typeID; }
    void retain() const;
    void release() const; // deletes the object when the last reference goes
    long retainCount() const;

    // Called only with an object of the same type. Identity unless a type compares by value.
    virtual bool equals(const CFObject& other) const { return this == &other; }

private:
    mutable std::atomic<long> m_refs{ 1 };
    const CFTypeID m_typeID;
    const bool m_immortal;
};

inline const CFObject* asObject(CFTypeRef ref) { return static_cast<const CFObject*>(ref); }

// Aborts with a message naming `function` when `ref` is null (as Apple's functions crash).
void requireObject(CFTypeRef ref, const char* function);

} // namespace platform
