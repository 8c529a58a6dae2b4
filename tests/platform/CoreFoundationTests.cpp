#include <platform/CoreFoundation.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace
{
CFNumberRef makeInt (int value)
{
    return CFNumberCreate (kCFAllocatorDefault, kCFNumberIntType, &value);
}

int intOf (const void* number)
{
    int value = 0;
    CFNumberGetValue (static_cast<CFNumberRef> (number), kCFNumberIntType, &value);
    return value;
}
} // namespace

TEST (CFReferenceCounting, CreateGivesOneReferenceAndRetainReleaseCount)
{
    CFNumberRef number = makeInt (5);
    EXPECT_EQ (CFGetRetainCount (number), 1);
    EXPECT_EQ (CFRetain (number), (CFTypeRef) number);
    EXPECT_EQ (CFGetRetainCount (number), 2);
    CFRelease (number);
    EXPECT_EQ (CFGetRetainCount (number), 1);
    CFRelease (number);
}

TEST (CFReferenceCounting, RetainAndReleaseFromManyThreadsKeepTheCountExact)
{
    CFNumberRef number = makeInt (1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back ([number] {
            for (int i = 0; i < 20000; ++i)
            {
                CFRetain (number);
                CFRelease (number);
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ (CFGetRetainCount (number), 1);
    CFRelease (number);
}

TEST (CFReferenceCountingDeathTest, ReleasingNullAbortsWithAMessage)
{
    EXPECT_DEATH (CFRelease (nullptr), "CFRelease\\(\\) called with NULL");
    EXPECT_DEATH (CFRetain (nullptr), "CFRetain\\(\\) called with NULL");
}

TEST (CFContainers, ArraysWithTypeCallbacksRetainTheirValuesUntilTheyGo)
{
    CFNumberRef number = makeInt (7);
    CFMutableArrayRef array = CFArrayCreateMutable (kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue (array, number);
    CFArrayAppendValue (array, number);
    EXPECT_EQ (CFGetRetainCount (number), 3);
    EXPECT_EQ (CFArrayGetCount (array), 2);
    EXPECT_EQ (CFArrayGetValueAtIndex (array, 1), (const void*) number);
    EXPECT_EQ (CFArrayGetValueAtIndex (array, 2), nullptr);
    EXPECT_EQ (CFArrayGetValueAtIndex (array, -1), nullptr);
    CFArrayRemoveValueAtIndex (array, 0);
    EXPECT_EQ (CFGetRetainCount (number), 2);
    CFRelease (array);
    EXPECT_EQ (CFGetRetainCount (number), 1);
    CFRelease (number);
}

TEST (CFContainers, ArraysWithoutCallbacksHoldValuesUnretained)
{
    CFNumberRef number = makeInt (7);
    CFMutableArrayRef array = CFArrayCreateMutable (kCFAllocatorDefault, 0, nullptr);
    CFArrayAppendValue (array, number);
    EXPECT_EQ (CFGetRetainCount (number), 1);
    CFRelease (array);
    EXPECT_EQ (CFGetRetainCount (number), 1);
    CFRelease (number);
}

TEST (CFContainers, SortOrdersTheRangeByTheComparatorKeepingEqualsInOrder)
{
    CFMutableArrayRef array = CFArrayCreateMutable (kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFNumberRef values[] = { makeInt (9), makeInt (2), makeInt (5), makeInt (2), makeInt (1) };
    for (auto* value : values)
    {
        CFArrayAppendValue (array, value);
        CFRelease (value);
    }
    const void* firstTwo = CFArrayGetValueAtIndex (array, 1);
    const void* secondTwo = CFArrayGetValueAtIndex (array, 3);
    auto ascending = [] (const void* a, const void* b, void*) -> CFComparisonResult {
        return intOf (a) < intOf (b) ? kCFCompareLessThan : intOf (a) > intOf (b) ? kCFCompareGreaterThan : kCFCompareEqualTo;
    };
    CFArraySortValues (array, CFRangeMake (0, 4), ascending, nullptr);
    std::vector<int> order;
    for (CFIndex i = 0; i < CFArrayGetCount (array); ++i)
        order.push_back (intOf (CFArrayGetValueAtIndex (array, i)));
    EXPECT_EQ (order, (std::vector<int> { 2, 2, 5, 9, 1 })); // the last value is outside the range
    EXPECT_EQ (CFArrayGetValueAtIndex (array, 0), firstTwo);
    EXPECT_EQ (CFArrayGetValueAtIndex (array, 1), secondTwo);
    CFRelease (array);
}

TEST (CFContainers, DictionariesFindKeysByValueAndReleaseReplacedValues)
{
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable (kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                   &kCFTypeDictionaryValueCallBacks);
    CFNumberRef page = makeInt (0xFF00);
    CFNumberRef other = makeInt (1);
    CFDictionarySetValue (dictionary, CFSTR ("PrimaryUsagePage"), page);
    EXPECT_EQ (CFGetRetainCount (page), 2);

    CFStringRef sameKey = CFStringCreateWithCString (kCFAllocatorDefault, "PrimaryUsagePage", kCFStringEncodingUTF8);
    EXPECT_EQ (CFDictionaryGetValue (dictionary, sameKey), (const void*) page);
    EXPECT_EQ (CFDictionaryGetValue (dictionary, CFSTR ("PrimaryUsage")), nullptr);

    CFDictionarySetValue (dictionary, sameKey, other);
    EXPECT_EQ (CFDictionaryGetCount (dictionary), 1);
    EXPECT_EQ (CFGetRetainCount (page), 1);
    EXPECT_EQ (CFDictionaryGetValue (dictionary, CFSTR ("PrimaryUsagePage")), (const void*) other);
    CFRelease (dictionary);
    EXPECT_EQ (CFGetRetainCount (other), 1);
    for (CFTypeRef object : { (CFTypeRef) page, (CFTypeRef) other, (CFTypeRef) sameKey })
        CFRelease (object);
}

TEST (CFContainers, SetsHoldEachValueOnceAndVisitEveryValue)
{
    CFNumberRef one = makeInt (1), two = makeInt (2);
    const void* values[] = { one, two, one };
    CFSetRef set = CFSetCreate (kCFAllocatorDefault, values, 3, &kCFTypeSetCallBacks);
    EXPECT_EQ (CFSetGetCount (set), 2);
    EXPECT_EQ (CFGetRetainCount (one), 2);
    int sum = 0;
    CFSetApplyFunction (set, [] (const void* value, void* context) { *static_cast<int*> (context) += intOf (value); }, &sum);
    EXPECT_EQ (sum, 3);
    CFRelease (set);
    EXPECT_EQ (CFGetRetainCount (one), 1);
    CFRelease (one);
    CFRelease (two);
}

TEST (CFNumbers, SInt32OfATopBitValueFillsOnlyTheLowHalfOfAZeroedLong)
{
    const uint32_t location = 0x81200000;
    CFNumberRef number = CFNumberCreate (kCFAllocatorDefault, kCFNumberSInt32Type, &location);
    long value = 0;
    EXPECT_TRUE (CFNumberGetValue (number, kCFNumberSInt32Type, &value));
    EXPECT_EQ (value, 0x81200000L);
    CFRelease (number);
}

TEST (CFNumbers, LossyConversionsSayFalseAndEqualValuesCompareEqual)
{
    CFNumberRef big = makeInt (300);
    int8_t small = 0;
    EXPECT_FALSE (CFNumberGetValue (big, kCFNumberSInt8Type, &small));
    const int64_t same = 300;
    CFNumberRef wide = CFNumberCreate (kCFAllocatorDefault, kCFNumberSInt64Type, &same);
    EXPECT_TRUE (CFEqual (big, wide));
    EXPECT_EQ (CFHash (big), CFHash (wide));
    EXPECT_EQ (CFGetTypeID (big), CFNumberGetTypeID());
    EXPECT_EQ (CFNumberCreate (kCFAllocatorDefault, 99, &same), nullptr);
    CFRelease (big);
    CFRelease (wide);
}

TEST (CFStrings, ConstantStringsAreInternedAndOutliveReleases)
{
    CFStringRef key = CFSTR ("VendorID");
    EXPECT_EQ (key, CFSTR ("VendorID"));
    CFRelease (key);
    CFRelease (key);
    EXPECT_EQ (CFStringGetLength (CFSTR ("VendorID")), 8);
    EXPECT_EQ (CFGetTypeID (key), CFStringGetTypeID());
}

TEST (CFStrings, CStringCopyFailsWhenTooSmallOrNotAscii)
{
    CFStringRef japanese = CFStringCreateWithCString (kCFAllocatorDefault, "日本語", kCFStringEncodingUTF8);
    EXPECT_EQ (CFStringGetLength (japanese), 3);
    char buffer[16] = "untouched";
    EXPECT_FALSE (CFStringGetCString (japanese, buffer, sizeof buffer, kCFStringEncodingASCII));
    EXPECT_STREQ (buffer, "untouched");
    EXPECT_TRUE (CFStringGetCString (japanese, buffer, sizeof buffer, kCFStringEncodingUTF8));
    EXPECT_STREQ (buffer, "日本語");

    CFStringRef identifier = CFStringCreateWithCString (kCFAllocatorDefault, "zh-Hant_TW", kCFStringEncodingASCII);
    EXPECT_FALSE (CFStringGetCString (identifier, buffer, 10, kCFStringEncodingASCII)); // needs 11 with the zero
    EXPECT_TRUE (CFStringGetCString (identifier, buffer, 11, kCFStringEncodingASCII));
    EXPECT_STREQ (buffer, "zh-Hant_TW");
    EXPECT_EQ (CFStringCreateWithCString (kCFAllocatorDefault, "日本語", kCFStringEncodingASCII), nullptr);
    EXPECT_EQ (CFStringCreateWithCString (kCFAllocatorDefault, "\xC3", kCFStringEncodingUTF8), nullptr);

    CFStringRef emoji = CFStringCreateWithCString (kCFAllocatorDefault, "\xF0\x9F\x98\x80", kCFStringEncodingUTF8);
    EXPECT_EQ (CFStringGetLength (emoji), 2); // one surrogate pair
    for (CFTypeRef object : { (CFTypeRef) japanese, (CFTypeRef) identifier, (CFTypeRef) emoji })
        CFRelease (object);
}

TEST (CFStrings, CompareOrdersBytesOptionallyIgnoringCase)
{
    CFStringRef upper = CFStringCreateWithCString (kCFAllocatorDefault, "EN_GB", kCFStringEncodingUTF8);
    EXPECT_EQ (CFStringCompare (upper, CFSTR ("en_GB"), 0), kCFCompareLessThan);
    EXPECT_EQ (CFStringCompare (upper, CFSTR ("en_gb"), kCFCompareCaseInsensitive), kCFCompareEqualTo);
    EXPECT_EQ (CFStringCompare (CFSTR ("fr"), CFSTR ("de"), 0), kCFCompareGreaterThan);
    EXPECT_FALSE (CFEqual (upper, CFSTR ("en_GB")));
    CFRelease (upper);
}
