// The CoreFoundation work-alike as the HID and text layers use it: reference counts shared with a
// sending thread, containers that keep what they hold, encodings. (Numbers are checked through
// the device list's matching and getters.)

#include "CFObject.h"
#include <platform/CoreFoundation.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace
{
long retainCount(CFTypeRef object) { return platform::asObject(object)->retainCount(); }
CFNumberRef makeInt(int value) { return CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &value); }
} // namespace

TEST(CFReferenceCounting, RetainAndReleaseFromManyThreadsKeepTheCountExact)
{
    CFNumberRef number = makeInt(1);
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
    EXPECT_EQ(retainCount(number), 1);
    CFRelease(number);
}

TEST(CFContainers, HoldTheirValuesOnceUntilReplacedOrGone)
{
    CFNumberRef one = makeInt(1), two = makeInt(2);
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(array, one);
    const void* values[] = { one, two, one };
    CFSetRef set = CFSetCreate(kCFAllocatorDefault, values, 3, &kCFTypeSetCallBacks);
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFDictionarySetValue(dictionary, CFSTR("PrimaryUsage"), one);
    EXPECT_EQ(retainCount(one), 4); // ours, the array's, the set's (once) and the dictionary's

    // A key equal by value finds the entry; setting it again releases the old value.
    CFStringRef sameKey = CFStringCreateWithCString(kCFAllocatorDefault, "PrimaryUsage", kCFStringEncodingUTF8);
    EXPECT_EQ(CFDictionaryGetValue(dictionary, sameKey), (const void*)one);
    CFDictionarySetValue(dictionary, sameKey, two);
    EXPECT_EQ(CFDictionaryGetValue(dictionary, CFSTR("PrimaryUsage")), (const void*)two);
    EXPECT_EQ(retainCount(one), 3);

    for (CFTypeRef object : { (CFTypeRef)array, (CFTypeRef)set, (CFTypeRef)dictionary, (CFTypeRef)sameKey })
        CFRelease(object);
    EXPECT_EQ(retainCount(one), 1);
    EXPECT_EQ(retainCount(two), 1);
    CFRelease(one);
    CFRelease(two);
}

TEST(CFStrings, ConvertOnlyWhatTheEncodingAndTheBufferCanHold)
{
    CFStringRef japanese = CFStringCreateWithCString(kCFAllocatorDefault, "日本語", kCFStringEncodingUTF8);
    char buffer[16] = "untouched";
    EXPECT_FALSE(CFStringGetCString(japanese, buffer, sizeof buffer, kCFStringEncodingASCII));
    EXPECT_FALSE(CFStringGetCString(japanese, buffer, 9, kCFStringEncodingUTF8)); // 9 bytes and the zero
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_TRUE(CFStringGetCString(japanese, buffer, 10, kCFStringEncodingUTF8));
    EXPECT_STREQ(buffer, "日本語");
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "日本語", kCFStringEncodingASCII), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "\xC3", kCFStringEncodingUTF8), nullptr);
    CFRelease(japanese);
}
