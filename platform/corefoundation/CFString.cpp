#include "CoreFoundation.h"

#include "CFObject.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

using platform::CFObject;

// Strings, held as UTF-8.

struct __CFString : CFObject
{
    __CFString(std::string text, bool immortal) : CFObject(platform::typeString, immortal), utf8(std::move(text)) {}

    bool equals(const CFObject& other) const override { return utf8 == static_cast<const __CFString&>(other).utf8; }

    const std::string utf8;
};

static bool isAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return (unsigned char)c < 0x80; });
}

static bool isUtf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();)
    {
        const auto lead = (unsigned char)text[i];
        const size_t extra = lead < 0x80           ? 0
                             : (lead >> 5) == 0x6  ? 1
                             : (lead >> 4) == 0xE  ? 2
                             : (lead >> 3) == 0x1E ? 3
                                                   : 4;
        if (extra == 4 || i + extra >= text.size() + (extra == 0 ? 1 : 0))
            return false;
        for (size_t k = 1; k <= extra; ++k)
            if (((unsigned char)text[i + k] >> 6) != 0x2)
                return false;
        i += extra + 1;
    }
    return true;
}

CFTypeID CFStringGetTypeID() { return platform::typeString; }

CFStringRef __CFStringMakeConstantString(const char* cString)
{
    static std::mutex mutex;
    static auto* interned = new std::unordered_map<std::string, const __CFString*>();
    std::lock_guard<std::mutex> lock(mutex);
    auto& entry = (*interned)[cString];
    if (entry == nullptr)
        entry = new __CFString(cString, true);
    return entry;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cString, CFStringEncoding encoding)
{
    if (cString == nullptr)
        return nullptr;
    std::string text(cString);
    const bool valid = encoding == kCFStringEncodingASCII  ? isAscii(text)
                       : encoding == kCFStringEncodingUTF8 ? isUtf8(text)
                                                           : false;
    return valid ? new __CFString(std::move(text), false) : nullptr;
}

Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding encoding)
{
    platform::requireObject(string, "CFStringGetCString");
    const std::string& text = string->utf8;
    if (buffer == nullptr || bufferSize <= (CFIndex)text.size())
        return false;
    if (encoding == kCFStringEncodingASCII ? !isAscii(text) : encoding != kCFStringEncodingUTF8)
        return false;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

const char* CFStringGetCStringPtr(CFStringRef string, CFStringEncoding encoding)
{
    platform::requireObject(string, "CFStringGetCStringPtr");
    if (encoding == kCFStringEncodingUTF8 || (encoding == kCFStringEncodingASCII && isAscii(string->utf8)))
        return string->utf8.c_str();
    return nullptr;
}
