#include "CoreFoundation.h"

#include "CFObject.h"
#include "CFValueCallBacks.h"

#include <utility>
#include <vector>

using platform::CFObject;
using platform::opsOf;
using platform::ValueOps;

// Dictionaries: insertion-ordered pairs, looked up by the key callbacks' equality. The
// dictionaries of this program hold a handful of entries.

struct __CFDictionary : CFObject
{
    __CFDictionary(ValueOps keys, ValueOps values) : CFObject(platform::typeDictionary), keyOps(keys), valueOps(values)
    {
    }
    ~__CFDictionary() override
    {
        for (auto& entry : entries)
        {
            keyOps.drop(entry.first);
            valueOps.drop(entry.second);
        }
    }

    const std::pair<const void*, const void*>* find(const void* key) const
    {
        for (auto& entry : entries)
            if (keyOps.same(entry.first, key))
                return &entry;
        return nullptr;
    }

    bool equals(const CFObject& other) const override
    {
        const auto& d = static_cast<const __CFDictionary&>(other);
        if (d.entries.size() != entries.size())
            return false;
        for (auto& entry : entries)
        {
            auto* match = d.find(entry.first);
            if (match == nullptr || !valueOps.same(entry.second, match->second))
                return false;
        }
        return true;
    }
    CFHashCode hash() const override { return entries.size(); }

    const ValueOps keyOps, valueOps;
    std::vector<std::pair<const void*, const void*>> entries;
};

CFTypeID CFDictionaryGetTypeID() { return platform::typeDictionary; }

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex, const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks)
{
    return new __CFDictionary(opsOf(keyCallBacks), opsOf(valueCallBacks));
}

CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary)
{
    platform::requireObject(dictionary, "CFDictionaryGetCount");
    return (CFIndex)dictionary->entries.size();
}

const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key)
{
    platform::requireObject(dictionary, "CFDictionaryGetValue");
    auto* entry = dictionary->find(key);
    return entry != nullptr ? entry->second : nullptr;
}

void CFDictionarySetValue(CFMutableDictionaryRef dictionary, const void* key, const void* value)
{
    platform::requireObject(dictionary, "CFDictionarySetValue");
    const void* newValue = dictionary->valueOps.take(value);
    for (auto& entry : dictionary->entries)
    {
        if (dictionary->keyOps.same(entry.first, key))
        {
            const void* oldValue = entry.second;
            entry.second = newValue;
            dictionary->valueOps.drop(oldValue);
            return;
        }
    }
    dictionary->entries.emplace_back(dictionary->keyOps.take(key), newValue);
}

void CFDictionaryApplyFunction(CFDictionaryRef dictionary, CFDictionaryApplierFunction applier, void* context)
{
    platform::requireObject(dictionary, "CFDictionaryApplyFunction");
    for (auto& entry : dictionary->entries)
        applier(entry.first, entry.second, context);
}
