#pragma once

// A small CoreFoundation work-alike: the reference-counted objects, containers, numbers, strings,
// run loop and preference calls that this program uses, with Apple's names and C signatures.
//
// Ownership follows Apple's rule: a function with Create or Copy in its name returns a reference
// the caller owns and must CFRelease; a Get function returns one the caller does not own.
// Reference counts are atomic, so objects may be retained and released from any thread. The
// containers themselves are not locked: one thread at a time may use a given container.
// CFRetain and CFRelease of a null reference abort the program with a message (a programming error).

#include <cstddef>
#include <cstdint>

typedef unsigned char Boolean;
typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef float Float32;
typedef double Float64;

typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef unsigned long CFOptionFlags;
typedef unsigned long CFHashCode;
typedef double CFTimeInterval;

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
typedef struct __CFSet* CFMutableSetRef;
typedef struct __CFRunLoop* CFRunLoopRef;
typedef CFStringRef CFRunLoopMode;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// ---- Allocators: only the default one exists; the argument is accepted and ignored.
extern const CFAllocatorRef kCFAllocatorDefault;

// ---- Base object operations
CFTypeRef CFRetain(CFTypeRef object);
void CFRelease(CFTypeRef object);
CFIndex CFGetRetainCount(CFTypeRef object);
CFTypeID CFGetTypeID(CFTypeRef object);
Boolean CFEqual(CFTypeRef a, CFTypeRef b);
CFHashCode CFHash(CFTypeRef object);

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
typedef CFOptionFlags CFStringCompareFlags;
enum : CFStringCompareFlags
{
    kCFCompareCaseInsensitive = 1
};

CFTypeID CFStringGetTypeID();
// Interned string that lives for the whole process; retain and release do nothing to it.
CFStringRef __CFStringMakeConstantString(const char* cString);
#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")
// Null when the bytes are not valid in the encoding (ASCII or UTF-8).
CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* cString, CFStringEncoding encoding);
// Number of UTF-16 code units, as on Apple's systems.
CFIndex CFStringGetLength(CFStringRef string);
// Copies the characters and a terminating zero. False, leaving the buffer untouched, when the
// string does not fit in bufferSize bytes or cannot be represented in the encoding.
Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);
// The UTF-8 bytes when the encoding is UTF-8 (or ASCII and the string is pure ASCII), else null.
// Valid while the string lives.
const char* CFStringGetCStringPtr(CFStringRef string, CFStringEncoding encoding);
// Byte order of the UTF-8 text; with kCFCompareCaseInsensitive ASCII letters compare without case.
CFComparisonResult CFStringCompare(CFStringRef a, CFStringRef b, CFStringCompareFlags options);

// ---- Numbers
typedef CFIndex CFNumberType;
enum : CFNumberType
{
    kCFNumberSInt8Type = 1,
    kCFNumberSInt16Type = 2,
    kCFNumberSInt32Type = 3,
    kCFNumberSInt64Type = 4,
    kCFNumberFloat32Type = 5,
    kCFNumberFloat64Type = 6,
    kCFNumberCharType = 7,
    kCFNumberShortType = 8,
    kCFNumberIntType = 9,
    kCFNumberLongType = 10,
    kCFNumberLongLongType = 11,
    kCFNumberFloatType = 12,
    kCFNumberDoubleType = 13,
    kCFNumberCFIndexType = 14,
    kCFNumberNSIntegerType = 15,
    kCFNumberCGFloatType = 16,
    kCFNumberMaxType = 16
};

CFTypeID CFNumberGetTypeID();
// Reads a value of the given type from valuePtr. Null for an unknown type or a null pointer.
CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType type, const void* valuePtr);
// Writes the value converted to the given type (exactly sizeof that type, so a 32-bit value
// fills the low half of a zeroed 64-bit variable). False when the conversion lost information.
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* valuePtr);

// ---- Arrays
typedef const void* (*CFArrayRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFArrayReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFArrayCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFArrayEqualCallBack)(const void* a, const void* b);
struct CFArrayCallBacks
{
    CFIndex version;
    CFArrayRetainCallBack retain;
    CFArrayReleaseCallBack release;
    CFArrayCopyDescriptionCallBack copyDescription;
    CFArrayEqualCallBack equal;
};
// Values are CF objects: retained on insertion, released on removal, compared with CFEqual.
extern const CFArrayCallBacks kCFTypeArrayCallBacks;

CFTypeID CFArrayGetTypeID();
// A null callbacks pointer stores the values without retaining them.
CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex count,
                         const CFArrayCallBacks* callBacks);
CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity, const CFArrayCallBacks* callBacks);
CFIndex CFArrayGetCount(CFArrayRef array);
// Null for an index out of range.
const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index);
void CFArrayAppendValue(CFMutableArrayRef array, const void* value);
void CFArrayRemoveValueAtIndex(CFMutableArrayRef array, CFIndex index);
// Stable sort of the values in range by the comparator.
void CFArraySortValues(CFMutableArrayRef array, CFRange range, CFComparatorFunction comparator, void* context);

// ---- Dictionaries
typedef const void* (*CFDictionaryRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFDictionaryReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFDictionaryCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFDictionaryEqualCallBack)(const void* a, const void* b);
typedef CFHashCode (*CFDictionaryHashCallBack)(const void* value);
struct CFDictionaryKeyCallBacks
{
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
    CFDictionaryHashCallBack hash;
};
struct CFDictionaryValueCallBacks
{
    CFIndex version;
    CFDictionaryRetainCallBack retain;
    CFDictionaryReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
};
extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;
typedef void (*CFDictionaryApplierFunction)(const void* key, const void* value, void* context);

CFTypeID CFDictionaryGetTypeID();
CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks);
CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary);
// The value for the key (not owned by the caller), or null.
const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key);
// Adds or replaces; the old value is released.
void CFDictionarySetValue(CFMutableDictionaryRef dictionary, const void* key, const void* value);
void CFDictionaryApplyFunction(CFDictionaryRef dictionary, CFDictionaryApplierFunction applier, void* context);

// ---- Sets
typedef const void* (*CFSetRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFSetReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFSetCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFSetEqualCallBack)(const void* a, const void* b);
typedef CFHashCode (*CFSetHashCallBack)(const void* value);
struct CFSetCallBacks
{
    CFIndex version;
    CFSetRetainCallBack retain;
    CFSetReleaseCallBack release;
    CFSetCopyDescriptionCallBack copyDescription;
    CFSetEqualCallBack equal;
    CFSetHashCallBack hash;
};
extern const CFSetCallBacks kCFTypeSetCallBacks;
typedef void (*CFSetApplierFunction)(const void* value, void* context);

CFTypeID CFSetGetTypeID();
// Equal values are stored once.
CFSetRef CFSetCreate(CFAllocatorRef allocator, const void** values, CFIndex count, const CFSetCallBacks* callBacks);
CFIndex CFSetGetCount(CFSetRef set);
Boolean CFSetContainsValue(CFSetRef set, const void* value);
void CFSetApplyFunction(CFSetRef set, CFSetApplierFunction applier, void* context);

// ---- Run loop
// Each thread has one run loop, created on first use and kept while the thread or anything
// scheduled on it holds it. Sources scheduled in a mode are served only while the loop runs in
// that mode, on the loop's own thread; that is where every HID callback runs.
extern const CFRunLoopMode kCFRunLoopDefaultMode;

enum : SInt32
{
    kCFRunLoopRunFinished = 1,     // nothing is scheduled in the mode
    kCFRunLoopRunStopped = 2,      // CFRunLoopStop was called
    kCFRunLoopRunTimedOut = 3,     // the time ran out
    kCFRunLoopRunHandledSource = 4 // a source was served and returnAfterSourceHandled was set
};

CFTypeID CFRunLoopGetTypeID();
// The calling thread's run loop; not owned by the caller.
CFRunLoopRef CFRunLoopGetCurrent();
// Serves the mode's sources on the calling thread (which must own the run loop) for up to
// `seconds` (0: one pass over what is ready, without waiting).
SInt32 CFRunLoopRunInMode(CFRunLoopMode mode, CFTimeInterval seconds, Boolean returnAfterSourceHandled);
// Any thread: makes the loop's current or next CFRunLoopRunInMode return kCFRunLoopRunStopped.
void CFRunLoopStop(CFRunLoopRef runLoop);
// Any thread: wakes the loop if it waits.
void CFRunLoopWakeUp(CFRunLoopRef runLoop);

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
