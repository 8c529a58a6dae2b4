#include "CoreFoundation.h"

#include "CFObject.h"
#include "CFValueCallBacks.h"

#include <utility>
#include <vector>

using platform::CFObject;
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

    const ValueOps keyOps, valueOps;
    std::vector<std::pair<const void*, const void*>> entries;
};

CFTypeID CFDictionaryGetTypeID() { return platform::typeDictionary; }

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex, const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks)
{
    return new __CFDictionary(ValueOps(keyCallBacks), ValueOps(valueCallBacks));
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
