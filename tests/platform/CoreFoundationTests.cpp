#include <platform/CoreFoundation.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace
{
CFNumberRef makeInt(int value) { return CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &value); }

int intOf(const void* number)
{
    int value = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(number), kCFNumberIntType, &value);
    return value;
}

void releaseAll(std::initializer_list<CFTypeRef> objects)
{
    for (CFTypeRef object : objects)
        CFRelease(object);
}
} // namespace

TEST(CFReferenceCounting, RetainAndReleaseFromManyThreadsKeepTheCountExact)
{
    CFNumberRef number = makeInt(1);
    EXPECT_EQ(CFGetRetainCount(number), 1);
    EXPECT_EQ(CFRetain(number), (CFTypeRef)number);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back(
            [number]
            {
                for (int i = 0; i < 20000; ++i)
                {
                    CFRetain(number);
                    CFRelease(number);
                }
            });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(CFGetRetainCount(number), 2);
    releaseAll({ number, number });
}

TEST(CFReferenceCountingDeathTest, ReleasingNullAbortsWithAMessage)
{
    EXPECT_DEATH(CFRelease(nullptr), "CFRelease\\(\\) called with NULL");
    EXPECT_DEATH(CFRetain(nullptr), "CFRetain\\(\\) called with NULL");
}

TEST(CFContainers, ArraysWithTypeCallbacksRetainTheirValuesUntilTheyGo)
{
    CFNumberRef number = makeInt(7);
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(array, number);
    CFArrayAppendValue(array, number);
    EXPECT_EQ(CFGetRetainCount(number), 3);
    EXPECT_EQ(CFArrayGetCount(array), 2);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 1), (const void*)number);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 2), nullptr);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, -1), nullptr);
    CFArrayRemoveValueAtIndex(array, 0);
    EXPECT_EQ(CFGetRetainCount(number), 2);
    CFRelease(array);
    EXPECT_EQ(CFGetRetainCount(number), 1);
    CFRelease(number);
}

TEST(CFContainers, SortOrdersTheRangeByTheComparatorKeepingEqualsInOrder)
{
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    for (int value : { 9, 2, 5, 2, 1 })
    {
        CFNumberRef number = makeInt(value);
        CFArrayAppendValue(array, number);
        CFRelease(number);
    }
    const void* firstTwo = CFArrayGetValueAtIndex(array, 1);
    const void* secondTwo = CFArrayGetValueAtIndex(array, 3);
    auto ascending = [](const void* a, const void* b, void*) -> CFComparisonResult {
        return intOf(a) < intOf(b)   ? kCFCompareLessThan
               : intOf(a) > intOf(b) ? kCFCompareGreaterThan
                                     : kCFCompareEqualTo;
    };
    CFArraySortValues(array, CFRangeMake(0, 4), ascending, nullptr);
    std::vector<int> order;
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
        order.push_back(intOf(CFArrayGetValueAtIndex(array, i)));
    EXPECT_EQ(order, (std::vector<int>{ 2, 2, 5, 9, 1 })); // the last value is outside the range
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 0), firstTwo);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 1), secondTwo);
    CFRelease(array);
}

TEST(CFContainers, DictionariesFindKeysByValueAndReleaseReplacedValues)
{
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFNumberRef page = makeInt(0xFF00), other = makeInt(1);
    CFDictionarySetValue(dictionary, CFSTR("PrimaryUsagePage"), page);
    EXPECT_EQ(CFGetRetainCount(page), 2);

    CFStringRef sameKey = CFStringCreateWithCString(kCFAllocatorDefault, "PrimaryUsagePage", kCFStringEncodingUTF8);
    EXPECT_EQ(CFDictionaryGetValue(dictionary, sameKey), (const void*)page);
    EXPECT_EQ(CFDictionaryGetValue(dictionary, CFSTR("PrimaryUsage")), nullptr);

    CFDictionarySetValue(dictionary, sameKey, other);
    EXPECT_EQ(CFDictionaryGetCount(dictionary), 1);
    EXPECT_EQ(CFGetRetainCount(page), 1);
    EXPECT_EQ(CFDictionaryGetValue(dictionary, CFSTR("PrimaryUsagePage")), (const void*)other);
    CFRelease(dictionary);
    EXPECT_EQ(CFGetRetainCount(other), 1);
    releaseAll({ page, other, sameKey });
}

TEST(CFContainers, SetsHoldEachValueOnceAndVisitEveryValue)
{
    CFNumberRef one = makeInt(1), two = makeInt(2);
    const void* values[] = { one, two, one };
    CFSetRef set = CFSetCreate(kCFAllocatorDefault, values, 3, &kCFTypeSetCallBacks);
    EXPECT_EQ(CFSetGetCount(set), 2);
    EXPECT_EQ(CFGetRetainCount(one), 2);
    int sum = 0;
    CFSetApplyFunction(
        set, [](const void* value, void* context) { *static_cast<int*>(context) += intOf(value); }, &sum);
    EXPECT_EQ(sum, 3);
    CFRelease(set);
    EXPECT_EQ(CFGetRetainCount(one), 1);
    releaseAll({ one, two });
}

TEST(CFNumbers, ReadBackWithoutLossOrSayFalseAndEqualValuesOfAnyTypeCompareEqual)
{
    // A location ID with the top bit set fills only the low half of a zeroed long.
    const uint32_t location = 0x81200000;
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &location);
    long value = 0;
    EXPECT_TRUE(CFNumberGetValue(number, kCFNumberSInt32Type, &value));
    EXPECT_EQ(value, 0x81200000L);

    CFNumberRef big = makeInt(300);
    int8_t small = 0;
    EXPECT_FALSE(CFNumberGetValue(big, kCFNumberSInt8Type, &small));
    const int64_t same = 300;
    CFNumberRef wide = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &same);
    EXPECT_TRUE(CFEqual(big, wide));
    EXPECT_EQ(CFHash(big), CFHash(wide));
    EXPECT_EQ(CFNumberCreate(kCFAllocatorDefault, 99, &same), nullptr);
    releaseAll({ number, big, wide });
}

TEST(CFStrings, ConstantStringsAreInternedOutliveReleasesAndCompareByBytes)
{
    CFStringRef key = CFSTR("VendorID");
    EXPECT_EQ(key, CFSTR("VendorID"));
    releaseAll({ key, key });
    EXPECT_EQ(CFStringGetLength(CFSTR("VendorID")), 8);
    EXPECT_EQ(CFGetTypeID(key), CFStringGetTypeID());

    EXPECT_EQ(CFStringCompare(CFSTR("EN_GB"), CFSTR("en_GB"), 0), kCFCompareLessThan);
    EXPECT_EQ(CFStringCompare(CFSTR("EN_GB"), CFSTR("en_gb"), kCFCompareCaseInsensitive), kCFCompareEqualTo);
    EXPECT_EQ(CFStringCompare(CFSTR("fr"), CFSTR("de"), 0), kCFCompareGreaterThan);
    EXPECT_FALSE(CFEqual(CFSTR("EN_GB"), CFSTR("en_GB")));
}

TEST(CFStrings, CStringCopyFailsWhenTooSmallOrNotAscii)
{
    CFStringRef japanese = CFStringCreateWithCString(kCFAllocatorDefault, "日本語", kCFStringEncodingUTF8);
    EXPECT_EQ(CFStringGetLength(japanese), 3);
    char buffer[16] = "untouched";
    EXPECT_FALSE(CFStringGetCString(japanese, buffer, sizeof buffer, kCFStringEncodingASCII));
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_TRUE(CFStringGetCString(japanese, buffer, sizeof buffer, kCFStringEncodingUTF8));
    EXPECT_STREQ(buffer, "日本語");

    CFStringRef identifier = CFStringCreateWithCString(kCFAllocatorDefault, "zh-Hant_TW", kCFStringEncodingASCII);
    EXPECT_FALSE(CFStringGetCString(identifier, buffer, 10, kCFStringEncodingASCII)); // needs 11 with the zero
    EXPECT_TRUE(CFStringGetCString(identifier, buffer, 11, kCFStringEncodingASCII));
    EXPECT_STREQ(buffer, "zh-Hant_TW");
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "日本語", kCFStringEncodingASCII), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "\xC3", kCFStringEncodingUTF8), nullptr);
    releaseAll({ japanese, identifier });
}
