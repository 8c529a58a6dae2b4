// The HID layer's messages on stderr, byte for byte, and what the layer does after each failure.
// This binary is linked with --wrap for the platform's allocation functions (see CMakeLists.txt)
// so that a test can make exactly one of them fail.

#include "HIDDeviceList.h"
#include "HidCtrl.h"
#include "HidTestSupport.h"
#include "HidUtil.h"

#include <FakeHidSource.h>

#include <gtest/gtest.h>

#include <cstdio>

namespace
{
// Fails the armed function's call after `skip` more calls, once.
struct FailPlan
{
    bool armed = false;
    int skip = 0;

    void arm (int callsToLetThrough = 0)
    {
        armed = true;
        skip = callsToLetThrough;
    }
    bool failsNow()
    {
        if (! armed)
            return false;
        if (skip-- > 0)
            return false;
        armed = false;
        return true;
    }
};

FailPlan managerCreatePlan, arrayCreatePlan, dictionaryCreatePlan, numberCreatePlan;
} // namespace

// The real functions and their stand-ins, under the linker's --wrap names.
extern "C" {
IOHIDManagerRef __real__Z18IOHIDManagerCreatePK13__CFAllocatorj (CFAllocatorRef, IOOptionBits);
CFMutableArrayRef __real__Z20CFArrayCreateMutablePK13__CFAllocatorlPK16CFArrayCallBacks (CFAllocatorRef, CFIndex,
                                                                                        const CFArrayCallBacks*);
CFMutableDictionaryRef
__real__Z25CFDictionaryCreateMutablePK13__CFAllocatorlPK24CFDictionaryKeyCallBacksPK26CFDictionaryValueCallBacks (
    CFAllocatorRef, CFIndex, const CFDictionaryKeyCallBacks*, const CFDictionaryValueCallBacks*);
CFNumberRef __real__Z14CFNumberCreatePK13__CFAllocatorlPKv (CFAllocatorRef, CFNumberType, const void*);

IOHIDManagerRef __wrap__Z18IOHIDManagerCreatePK13__CFAllocatorj (CFAllocatorRef allocator, IOOptionBits options)
{
    if (managerCreatePlan.failsNow())
        return nullptr;
    return __real__Z18IOHIDManagerCreatePK13__CFAllocatorj (allocator, options);
}

CFMutableArrayRef __wrap__Z20CFArrayCreateMutablePK13__CFAllocatorlPK16CFArrayCallBacks (
    CFAllocatorRef allocator, CFIndex capacity, const CFArrayCallBacks* callBacks)
{
    if (arrayCreatePlan.failsNow())
        return nullptr;
    return __real__Z20CFArrayCreateMutablePK13__CFAllocatorlPK16CFArrayCallBacks (allocator, capacity, callBacks);
}

CFMutableDictionaryRef
__wrap__Z25CFDictionaryCreateMutablePK13__CFAllocatorlPK24CFDictionaryKeyCallBacksPK26CFDictionaryValueCallBacks (
    CFAllocatorRef allocator, CFIndex capacity, const CFDictionaryKeyCallBacks* keys,
    const CFDictionaryValueCallBacks* values)
{
    if (dictionaryCreatePlan.failsNow())
        return nullptr;
    return __real__Z25CFDictionaryCreateMutablePK13__CFAllocatorlPK24CFDictionaryKeyCallBacksPK26CFDictionaryValueCallBacks (
        allocator, capacity, keys, values);
}

CFNumberRef __wrap__Z14CFNumberCreatePK13__CFAllocatorlPKv (CFAllocatorRef allocator, CFNumberType type,
                                                            const void* value)
{
    if (numberCreatePlan.failsNow())
        return nullptr;
    return __real__Z14CFNumberCreatePK13__CFAllocatorlPKv (allocator, type, value);
}
}

namespace
{
using testsupport::FakeHidSource;

const std::string kBuild = "Boolean HIDBuildMultiDeviceList(const UInt32 *, const UInt32 *, int): ";
const std::string kDictionary = "CFMutableDictionaryRef hu_SetUpMatchingDictionary(UInt32, UInt32): ";
const std::string kCouldnt = "Couldn\xE2\x80\x99t"; // U+2019 in UTF-8

// A device source that cannot watch the system, so that opening a manager fails.
class UnreachableSource : public platform::HidDeviceSource
{
public:
    bool start() override { return false; }
    std::vector<platform::HidDeviceDescription> enumerate() override { return {}; }
    int eventFd() const override { return -1; }
    std::vector<Event> readEvents() override { return {}; }
    std::shared_ptr<platform::HidConnection> open (const platform::HidDeviceDescription&, std::string& error) override
    {
        error = "unreachable";
        return nullptr;
    }
};

class HidDiagnosticsTest : public ::testing::Test
{
protected:
    void SetUp() override { fake.install(); }
    void TearDown() override
    {
        managerCreatePlan = arrayCreatePlan = dictionaryCreatePlan = numberCreatePlan = FailPlan();
        platform::setHidDeviceSourceFactory ({});
        hidtest::resetHidGlobals();
    }

    std::string addDevice (uint32_t page, uint32_t usage)
    {
        platform::HidDeviceDescription device = FakeHidSource::qel720 (0x01000000 + page);
        device.primaryUsagePage = page;
        device.primaryUsage = usage;
        return fake.addDevice (device);
    }

    static CFIndex listedCount() { return gDeviceCFArrayRef == nullptr ? 0 : CFArrayGetCount (gDeviceCFArrayRef); }

    FakeHidSource fake;
};

TEST_F (HidDiagnosticsTest, ManagerThatCannotBeCreatedIsReportedAndBuildFails)
{
    managerCreatePlan.arm();
    hidtest::StderrCapture capture;
    EXPECT_FALSE (HIDBuildDeviceList (0, 0));
    EXPECT_EQ (capture.finish(), kBuild + kCouldnt + " create a IOHIDManager.");
    EXPECT_EQ (gIOHIDManagerRef, nullptr);
}

TEST_F (HidDiagnosticsTest, ManagerThatCannotBeOpenedIsReportedAndLeftUnopenedWithoutList)
{
    platform::setHidDeviceSourceFactory ([] { return std::make_unique<UnreachableSource>(); });
    hidtest::StderrCapture capture;
    EXPECT_FALSE (HIDBuildDeviceList (0, 0));
    EXPECT_EQ (capture.finish(), kBuild + kCouldnt + " open IOHIDManager.");
    EXPECT_NE (gIOHIDManagerRef, nullptr);
    EXPECT_EQ (gDeviceCFArrayRef, nullptr);
}

TEST_F (HidDiagnosticsTest, LinkStaysUnconnectedWhenTheManagerCannotBeOpened)
{
    addDevice (0xFF00, 1);
    platform::setHidDeviceSourceFactory ([] { return std::make_unique<UnreachableSource>(); });
    hidtest::RecordingHandler client;
    HidCtrl ctrl;
    hidtest::StderrCapture capture;
    EXPECT_EQ (ctrl.initialize (&client, 1), 0);
    EXPECT_EQ (capture.finish(), kBuild + kCouldnt + " open IOHIDManager.");
    EXPECT_NE (ctrl.m_pHidUtil, nullptr);
    EXPECT_EQ (ctrl.m_bConnected, 0);
}

TEST_F (HidDiagnosticsTest, MatchingArrayThatCannotBeCreatedMatchesEveryDevice)
{
    addDevice (1, 2);
    addDevice (0xFF00, 1);
    arrayCreatePlan.arm();
    hidtest::StderrCapture capture;
    EXPECT_TRUE (HIDBuildDeviceList (1, 2));
    EXPECT_EQ (capture.finish(), kBuild + kCouldnt + " create a matching array.");
    EXPECT_EQ (listedCount(), 2);
}

TEST_F (HidDiagnosticsTest, DictionaryFailureWritesBothMessagesAndLeavesThePairOut)
{
    addDevice (1, 2);
    addDevice (0xFF00, 1);
    ASSERT_TRUE (HIDBuildDeviceList (0, 0)); // the manager exists: the next build only rematches
    const UInt32 pages[] = { 1, 0xFF00 };
    const UInt32 usages[] = { 2, 1 };
    dictionaryCreatePlan.arm();
    hidtest::StderrCapture capture;
    EXPECT_TRUE (HIDBuildMultiDeviceList (pages, usages, 2));
    EXPECT_EQ (capture.finish(), kDictionary + "CFDictionaryCreateMutable failed." + kBuild + kCouldnt
                                     + " create a matching dictionary.");
    ASSERT_EQ (listedCount(), 1);
    EXPECT_EQ (IOHIDDevice_GetLocationID ((IOHIDDeviceRef) CFArrayGetValueAtIndex (gDeviceCFArrayRef, 0)),
               0x01000000 + 0xFF00);
}

TEST_F (HidDiagnosticsTest, UsagePageNumberFailureGivesAnEmptyDictionary)
{
    numberCreatePlan.arm();
    hidtest::StderrCapture capture;
    CFMutableDictionaryRef dict = hu_SetUpMatchingDictionary (1, 6);
    EXPECT_EQ (capture.finish(), kDictionary + "CFNumberCreate( usage page ) failed.");
    ASSERT_NE (dict, nullptr);
    EXPECT_EQ (CFDictionaryGetCount (dict), 0);
    CFRelease (dict);
}

TEST_F (HidDiagnosticsTest, UsageNumberFailureKeepsTheUsagePage)
{
    numberCreatePlan.arm (1);
    hidtest::StderrCapture capture;
    CFMutableDictionaryRef dict = hu_SetUpMatchingDictionary (1, 6);
    EXPECT_EQ (capture.finish(), kDictionary + "CFNumberCreate( usage ) failed.");
    ASSERT_NE (dict, nullptr);
    EXPECT_EQ (CFDictionaryGetCount (dict), 1);
    EXPECT_NE (CFDictionaryGetValue (dict, CFSTR ("PrimaryUsagePage")), nullptr);
    CFRelease (dict);
}

TEST_F (HidDiagnosticsTest, MatchingDictionariesHoldOnlyTheKeysThePairGives)
{
    struct Case
    {
        UInt32 page, usage;
        CFIndex count;
    };
    for (auto c : { Case { 0, 0, 0 }, Case { 0, 6, 0 }, Case { 1, 0, 1 }, Case { 1, 6, 2 } })
    {
        CFMutableDictionaryRef dict = hu_SetUpMatchingDictionary (c.page, c.usage);
        ASSERT_NE (dict, nullptr);
        EXPECT_EQ (CFDictionaryGetCount (dict), c.count) << c.page << "/" << c.usage;
        auto page = (CFNumberRef) CFDictionaryGetValue (dict, CFSTR ("PrimaryUsagePage"));
        auto usage = (CFNumberRef) CFDictionaryGetValue (dict, CFSTR ("PrimaryUsage"));
        int value = -1;
        if (page != nullptr && CFNumberGetValue (page, kCFNumberIntType, &value))
        {
            EXPECT_EQ (value, (int) c.page);
        }
        if (usage != nullptr && CFNumberGetValue (usage, kCFNumberIntType, &value))
        {
            EXPECT_EQ (value, (int) c.usage);
        }
        CFRelease (dict);
    }
}

TEST_F (HidDiagnosticsTest, DeviceInputMisuseAndMissingDeviceAreReportedWithCrLf)
{
    HidUtil holder;
    unsigned char buffer[64];
    char expectedPointer[64];
    std::snprintf (expectedPointer, sizeof (expectedPointer), "%p", (void*) buffer);

    hidtest::StderrCapture capture;
    EXPECT_EQ (holder.deviceInput (nullptr, 64, 0), 0u);
    EXPECT_EQ (holder.deviceInput (buffer, 0, 0), 0u);
    EXPECT_EQ (holder.deviceInput (buffer, 64, 0), 0u);
    EXPECT_EQ (capture.finish(), std::string ("deviceInput failed. pdata:(nil) length:64\r\n")
                                     + "deviceInput failed. pdata:" + expectedPointer + " length:0\r\n"
                                     + "deviceInput failed. m_pDevice:(nil)\r\n");
}

TEST_F (HidDiagnosticsTest, NormalUseWritesNothing)
{
    const auto key = addDevice (0xFF00, 1);
    hidtest::RecordingHandler client;
    HidCtrl ctrl;
    hidtest::StderrCapture capture;
    ASSERT_EQ (ctrl.initialize (&client, 1), 1);
    fake.injectInputReport (key, hidtest::makeReport ({ 0xF0, 0x80 }));
    ASSERT_TRUE (hidtest::pumpUntil ([&] { return client.count ("input") == 1; }));
    fake.removeDevice (key);
    ASSERT_TRUE (hidtest::pumpUntil ([&] { return client.count ("removal") == 1; }));
    ctrl.finalize();
    EXPECT_EQ (capture.finish(), "");
}

} // namespace
