#include "CoreFoundation.h"
#include "LocaleIdentifiers.h"

#include <cstdlib>

// The desktop keeps no list of preferred languages of its own; the locale environment is what
// every program of the session goes by, so "AppleLanguages" is built from it.

const CFStringRef kCFPreferencesCurrentApplication = CFSTR("kCFPreferencesCurrentApplication");

static std::string environmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

static CFArrayRef copyPreferredLanguages()
{
    const auto identifiers = platform::preferredLanguages(environmentValue("LANGUAGE"), environmentValue("LC_ALL"),
                                                          environmentValue("LC_MESSAGES"), environmentValue("LANG"));
    if (identifiers.empty())
        return nullptr;
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    if (array == nullptr)
        return nullptr;
    for (const auto& identifier : identifiers)
    {
        CFStringRef string = CFStringCreateWithCString(kCFAllocatorDefault, identifier.c_str(), kCFStringEncodingUTF8);
        if (string != nullptr)
        {
            CFArrayAppendValue(array, string);
            CFRelease(string);
        }
    }
    return array;
}

CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef)
{
    if (key == nullptr || !CFEqual(key, CFSTR("AppleLanguages")))
        return nullptr;
    return copyPreferredLanguages();
}
