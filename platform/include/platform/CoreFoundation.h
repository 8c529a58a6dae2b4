#pragma once

// A small CoreFoundation work-alike: the reference-counted objects, containers, numbers, strings,
// run loop and preference calls that this program uses, with Apple's names and C signatures.
// Nothing more: what the program does not call is left out.
//
// Ownership follows Apple's rule: a function with Create or Copy in its name returns a reference
// the caller owns and must CFRelease; a Get function returns one the caller does not own.
// Reference counts are atomic, so objects may be retained and released from any thread. The
// containers themselves are not locked: one thread at a time may use a given container.
// CFRetain and CFRelease of a null reference abort the program with a message (a programming error).

#include <cstddef>
#include <cstdint>

typedef unsigned char Boolean;
typedef uint32_t UInt32;

typedef long CFIndex;
typedef unsigned long CFTypeID;

typedef const void* CFTypeRef;
typedef CFTypeRef CFPropertyListRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef const struct __CFNumber* CFNumberRef;
typedef const struct __CFArray* CFArrayRef;
typedef struct __CFArray* CFMutableArrayRef;
typedef const struct __CFDictionary* CFDictionaryRef;
typedef struct __CFDictionary* CFMutableDictionaryRef;
typedef const struct __CFSet* CFSetRef;
typedef struct __CFRunLoop* CFRunLoopRef;
typedef CFStringRef CFRunLoopMode;

// ---- Allocators: only the default one exists; the argument is accepted and ignored.
extern const CFAllocatorRef kCFAllocatorDefault;

// ---- Base object operations
CFTypeRef CFRetain(CFTypeRef object);
void CFRelease(CFTypeRef object);
CFTypeID CFGetTypeID(CFTypeRef object);
// Strings and numbers compare by value, every other object by identity.
Boolean CFEqual(CFTypeRef a, CFTypeRef b);

// ---- Comparison and ranges
typedef CFIndex CFComparisonResult;
enum : CFIndex
{
    kCFCompareLessThan = -1,
    kCFCompareEqualTo = 0,
    kCFCompareGreaterThan = 1
};
typedef CFComparisonResult (*CFComparatorFunction)(const void* a, const void* b, void* context);

struct CFRange
{
    CFIndex location;
    CFIndex length;
};
inline CFRange CFRangeMake(CFIndex location, CFIndex length) { return CFRange{ location, length }; }

// ---- Strings (held as UTF-8)
typedef UInt32 CFStringEncoding;
enum : CFStringEncoding
{
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100
};

CFTypeID CFStringGetTypeID();
// Interned string that lives for the whole process; retain and release do nothing to it.
CFStringRef __CFStringMakeConstantString(const char* cString);
#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")
// Null when the bytes are not valid in the encoding (ASCII or UTF-8).
CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* cString, CFStringEncoding encoding);
// Copies the characters and a terminating zero. False, leaving the buffer untouched, when the
// string does not fit in bufferSize bytes or cannot be represented in the encoding.
Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);
// The UTF-8 bytes when the encoding is UTF-8 (or ASCII and the string is pure ASCII), else null.
// Valid while the string lives.
const char* CFStringGetCStringPtr(CFStringRef string, CFStringEncoding encoding);

// ---- Numbers: 32-bit integers only
typedef CFIndex CFNumberType;
enum : CFNumberType
{
    kCFNumberSInt32Type = 3,
    kCFNumberIntType = 9
};

CFTypeID CFNumberGetTypeID();
// Reads a 32-bit integer from valuePtr. Null for another type or a null pointer.
CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType type, const void* valuePtr);
// Writes exactly 32 bits, so the value fills the low half of a zeroed 64-bit variable. False for
// another type.
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* valuePtr);

// ---- Container callbacks
// Arrays, dictionaries (keys and values) and sets take the same callbacks: retain on insertion,
// release on removal, equality for look-ups. A null callbacks pointer holds bare pointers,
// compared by address.
typedef const void* (*CFArrayRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFArrayReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef Boolean (*CFArrayEqualCallBack)(const void* a, const void* b);
struct CFArrayCallBacks
{
    CFIndex version;
    CFArrayRetainCallBack retain;
    CFArrayReleaseCallBack release;
    CFArrayEqualCallBack equal;
};
typedef CFArrayCallBacks CFDictionaryKeyCallBacks;
typedef CFArrayCallBacks CFDictionaryValueCallBacks;
typedef CFArrayCallBacks CFSetCallBacks;
// For values that are CF objects: CFRetain, CFRelease, CFEqual.
extern const CFArrayCallBacks kCFTypeArrayCallBacks;
extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;
extern const CFSetCallBacks kCFTypeSetCallBacks;

// ---- Arrays
CFTypeID CFArrayGetTypeID();
CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex count,
                         const CFArrayCallBacks* callBacks);
CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity, const CFArrayCallBacks* callBacks);
CFIndex CFArrayGetCount(CFArrayRef array);
// Null for an index out of range.
const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index);
void CFArrayAppendValue(CFMutableArrayRef array, const void* value);
// Sorts the values in range by the comparator.
void CFArraySortValues(CFMutableArrayRef array, CFRange range, CFComparatorFunction comparator, void* context);

// ---- Dictionaries
typedef void (*CFDictionaryApplierFunction)(const void* key, const void* value, void* context);

CFTypeID CFDictionaryGetTypeID();
CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks);
// The value for the key (not owned by the caller), or null.
const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key);
// Adds or replaces; the old value is released.
void CFDictionarySetValue(CFMutableDictionaryRef dictionary, const void* key, const void* value);
void CFDictionaryApplyFunction(CFDictionaryRef dictionary, CFDictionaryApplierFunction applier, void* context);

// ---- Sets
typedef void (*CFSetApplierFunction)(const void* value, void* context);

// Equal values are stored once.
CFSetRef CFSetCreate(CFAllocatorRef allocator, const void** values, CFIndex count, const CFSetCallBacks* callBacks);
void CFSetApplyFunction(CFSetRef set, CFSetApplierFunction applier, void* context);

// ---- Run loop
// Each thread has one run loop, created on first use and kept while the thread or anything
// scheduled on it holds it. Its only mode is kCFRunLoopDefaultMode. What is scheduled on it is
// served on the loop's own thread; on the message thread JuceRunLoopBridge serves it, and that is
// where every HID callback runs.
extern const CFRunLoopMode kCFRunLoopDefaultMode;

// The calling thread's run loop; not owned by the caller.
CFRunLoopRef CFRunLoopGetCurrent();

// ---- Preferences and locales
// Only the key "AppleLanguages" has a value: the user's preferred languages, most preferred first,
// as a new CFArray of CFString locale identifiers, or null when the environment names none. On
// Linux they come from LANGUAGE (a colon list, used only when the messages locale is set and is not
// C or POSIX, as gettext does), then the first set of LC_ALL, LC_MESSAGES and LANG; POSIX names
// become identifiers such as "fr_CA", "zh-Hans_CN" (see LocaleIdentifiers.h). Every other key
// gives null. Reads the environment: call it while no thread changes the environment.
extern const CFStringRef kCFPreferencesCurrentApplication;
CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID);

// Canonical form language[-Script][_REGION] of a locale identifier written with '-' or '_',
// e.g. "en-US" -> "en_US", "zh_CN" -> "zh-Hans_CN", "zh-Hant-TW" -> "zh-Hant_TW". A POSIX
// codeset or modifier ("fr_CA.UTF-8", "de_DE@euro") is dropped. Null for an empty or
// unreadable identifier.
CFStringRef CFLocaleCreateCanonicalLocaleIdentifierFromString(CFAllocatorRef allocator, CFStringRef localeIdentifier);
