#include "CoreFoundation.h"
#include "LocaleIdentifiers.h"

CFStringRef CFLocaleCreateCanonicalLocaleIdentifierFromString(CFAllocatorRef allocator, CFStringRef localeIdentifier)
{
    if (localeIdentifier == nullptr)
        return nullptr;
    const char* text = CFStringGetCStringPtr(localeIdentifier, kCFStringEncodingUTF8);
    const std::string canonical = platform::canonicalLocaleIdentifier(text != nullptr ? text : "");
    return canonical.empty() ? nullptr : CFStringCreateWithCString(allocator, canonical.c_str(), kCFStringEncodingUTF8);
}
