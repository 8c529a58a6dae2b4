// The HID layer's messages on stderr, byte for byte, and what the layer does after each failure.
// This binary is linked with --wrap for the platform's allocation functions (see CMakeLists.txt)
// so that a test can make exactly one of them fail.

#include "HIDDeviceList.h"
#include "HidCtrl.h"
#include "HidTestSupport.h"
#include "HidUtil.h"

#include <FakeHidSource.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace
{
// Fails one call of the wrapped function: the one after `failAt` more calls, when set.
struct FailPlan
{
    int failAt = -1;
    bool failsNow() { return failAt >= 0 && failAt-- == 0; }
};

FailPlan managerCreatePlan, arrayCreatePlan, dictionaryCreatePlan, numberCreatePlan;
} // namespace

// The real functions and their stand-ins, under the linker's --wrap names (the mangled C++ names).
#define HID_TEST_WRAP(Result, mangled, plan, params, args)                                                             \
    extern "C" Result __real_##mangled params;                                                                         \
    extern "C" Result __wrap_##mangled params { return plan.failsNow() ? nullptr : __real_##mangled args; }

HID_TEST_WRAP(IOHIDManagerRef, _Z18IOHIDManagerCreatePK13__CFAllocatorj, managerCreatePlan,
              (CFAllocatorRef a, IOOptionBits o), (a, o))
HID_TEST_WRAP(CFMutableArrayRef, _Z20CFArrayCreateMutablePK13__CFAllocatorlPK16CFArrayCallBacks, arrayCreatePlan,
              (CFAllocatorRef a, CFIndex n, const CFArrayCallBacks* c), (a, n, c))
HID_TEST_WRAP(CFMutableDictionaryRef,
              _Z25CFDictionaryCreateMutablePK13__CFAllocatorlPK24CFDictionaryKeyCallBacksPK26CFDictionaryValueCallBacks,
              dictionaryCreatePlan,
              (CFAllocatorRef a, CFIndex n, const CFDictionaryKeyCallBacks* k, const CFDictionaryValueCallBacks* v),
              (a, n, k, v))
HID_TEST_WRAP(CFNumberRef, _Z14CFNumberCreatePK13__CFAllocatorlPKv, numberCreatePlan,
              (CFAllocatorRef a, CFNumberType t, const void* v), (a, t, v))

namespace
{
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using testsupport::FakeHidSource;

const std::string kBuild = "Boolean HIDBuildMultiDeviceList(const UInt32 *, const UInt32 *, int): ";
const std::string kDictionary = "CFMutableDictionaryRef hu_SetUpMatchingDictionary(UInt32, UInt32): ";
const std::string kCouldnt = "Couldn\xE2\x80\x99t"; // U+2019 in UTF-8

// A device source that cannot watch the system, so that opening a manager fails.
struct UnreachableSource : platform::HidDeviceSource
{
    bool start() override { return false; }
    std::vector<platform::HidDeviceDescription> enumerate() override { return {}; }
    int eventFd() const override { return -1; }
    std::vector<Event> readEvents() override { return {}; }
    std::shared_ptr<platform::HidConnection> open(const platform::HidDeviceDescription&, std::string&) override
    {
        return {};
    }
};

class HidDiagnosticsTest : public ::testing::Test
{
protected:
    void SetUp() override { fake.install(); }
    void TearDown() override
    {
        managerCreatePlan = arrayCreatePlan = dictionaryCreatePlan = numberCreatePlan = FailPlan();
        platform::setHidDeviceSourceFactory({});
        hidtest::resetHidGlobals();
    }

    std::string addDevice(uint32_t page, uint32_t usage)
    {
        platform::HidDeviceDescription device = FakeHidSource::qel720(0x01000000 + page);
        device.primaryUsagePage = page;
        device.primaryUsage = usage;
        return fake.addDevice(device);
    }

    // The dictionary's entries, e.g. "page=1 usage=6".
    static std::string describe(CFDictionaryRef dict)
    {
        const std::pair<CFStringRef, const char*> keys[] = { { CFSTR("PrimaryUsagePage"), "page" },
                                                             { CFSTR("PrimaryUsage"), "usage" } };
        std::string text;
        for (auto [key, name] : keys)
        {
            int value = -1;
            if (auto number = (CFNumberRef)CFDictionaryGetValue(dict, key))
                if (CFNumberGetValue(number, kCFNumberIntType, &value))
                    text += std::string(text.empty() ? "" : " ") + name + "=" + std::to_string(value);
        }
        return text;
    }

    static CFIndex listedCount() { return gDeviceCFArrayRef == nullptr ? 0 : CFArrayGetCount(gDeviceCFArrayRef); }

    FakeHidSource fake;
};

TEST_F(HidDiagnosticsTest, ManagerThatCannotBeCreatedOrOpenedIsReportedAndLeavesTheLinkUnconnected)
{
    managerCreatePlan.failAt = 0;
    CaptureStderr();
    EXPECT_FALSE(HIDBuildDeviceList(0, 0));
    EXPECT_EQ(GetCapturedStderr(), kBuild + kCouldnt + " create a IOHIDManager.");
    EXPECT_EQ(gIOHIDManagerRef, nullptr);

    addDevice(0xFF00, 1);
    platform::setHidDeviceSourceFactory([] { return std::make_unique<UnreachableSource>(); });
    const std::string message = kBuild + kCouldnt + " open IOHIDManager.";
    CaptureStderr();
    EXPECT_FALSE(HIDBuildDeviceList(0, 0));
    EXPECT_EQ(GetCapturedStderr(), message);
    EXPECT_NE(gIOHIDManagerRef, nullptr); // kept, unopened
    EXPECT_EQ(gDeviceCFArrayRef, nullptr);
    hidtest::resetHidGlobals();

    hidtest::RecordingHandler client;
    HidCtrl ctrl;
    CaptureStderr();
    EXPECT_EQ(ctrl.initialize(&client, 1), 0);
    EXPECT_EQ(GetCapturedStderr(), message);
    EXPECT_NE(ctrl.m_pHidUtil, nullptr);
    EXPECT_EQ(ctrl.m_bConnected, 0);
}

TEST_F(HidDiagnosticsTest, MatchingThatCannotBeMadeIsReportedAndWidensOrLeavesOutThePairs)
{
    addDevice(1, 2);
    addDevice(0xFF00, 1);
    arrayCreatePlan.failAt = 0;
    CaptureStderr();
    EXPECT_TRUE(HIDBuildDeviceList(1, 2));
    EXPECT_EQ(GetCapturedStderr(), kBuild + kCouldnt + " create a matching array.");
    EXPECT_EQ(listedCount(), 2); // without an array every device matches

    const UInt32 pages[] = { 1, 0xFF00 };
    const UInt32 usages[] = { 2, 1 };
    dictionaryCreatePlan.failAt = 0;
    CaptureStderr();
    EXPECT_TRUE(HIDBuildMultiDeviceList(pages, usages, 2));
    EXPECT_EQ(GetCapturedStderr(),
              kDictionary + "CFDictionaryCreateMutable failed." + kBuild + kCouldnt + " create a matching dictionary.");
    ASSERT_EQ(listedCount(), 1);
    EXPECT_EQ(IOHIDDevice_GetLocationID((IOHIDDeviceRef)CFArrayGetValueAtIndex(gDeviceCFArrayRef, 0)),
              0x01000000 + 0xFF00);
}

TEST_F(HidDiagnosticsTest, MatchingDictionaryHoldsTheKeysThePairGivesUpToAFailedNumber)
{
    const struct
    {
        UInt32 page, usage;
        int failNumberAt;
        std::string message, expected;
    } cases[] = {
        { 0, 0, -1, "", "" },
        { 0, 6, -1, "", "" },
        { 1, 0, -1, "", "page=1" },
        { 1, 6, -1, "", "page=1 usage=6" },
        { 1, 6, 0, kDictionary + "CFNumberCreate( usage page ) failed.", "" },
        { 1, 6, 1, kDictionary + "CFNumberCreate( usage ) failed.", "page=1" },
    };
    for (const auto& c : cases)
    {
        const std::string name =
            std::to_string(c.page) + "/" + std::to_string(c.usage) + " failing at " + std::to_string(c.failNumberAt);
        numberCreatePlan.failAt = c.failNumberAt;
        CaptureStderr();
        CFMutableDictionaryRef dict = hu_SetUpMatchingDictionary(c.page, c.usage);
        EXPECT_EQ(GetCapturedStderr(), c.message) << name;
        ASSERT_NE(dict, nullptr) << name;
        EXPECT_EQ(describe(dict), c.expected) << name;
        EXPECT_EQ(CFDictionaryGetCount(dict), (CFIndex)std::count(c.expected.begin(), c.expected.end(), '=')) << name;
        CFRelease(dict);
    }
}

TEST_F(HidDiagnosticsTest, DeviceInputMisuseAndMissingDeviceAreReportedWithCrLf)
{
    HidUtil holder;
    unsigned char buffer[64];
    char expectedPointer[64];
    std::snprintf(expectedPointer, sizeof(expectedPointer), "%p", (void*)buffer);

    CaptureStderr();
    EXPECT_EQ(holder.deviceInput(nullptr, 64, 0), 0u);
    EXPECT_EQ(holder.deviceInput(buffer, 0, 0), 0u);
    EXPECT_EQ(holder.deviceInput(buffer, 64, 0), 0u);
    EXPECT_EQ(GetCapturedStderr(), std::string("deviceInput failed. pdata:(nil) length:64\r\n") +
                                       "deviceInput failed. pdata:" + expectedPointer + " length:0\r\n" +
                                       "deviceInput failed. m_pDevice:(nil)\r\n");
}

TEST_F(HidDiagnosticsTest, NormalUseWritesNothing)
{
    const auto key = addDevice(0xFF00, 1);
    hidtest::RecordingHandler client;
    HidCtrl ctrl;
    CaptureStderr();
    EXPECT_EQ(ctrl.initialize(&client, 1), 1); // no ASSERT while stderr is captured
    fake.injectInputReport(key, hidtest::makeReport({ 0xF0, 0x80 }));
    EXPECT_TRUE(hidtest::pumpUntil([&] { return client.count("input") == 1; }));
    fake.removeDevice(key);
    EXPECT_TRUE(hidtest::pumpUntil([&] { return client.count("removal") == 1; }));
    ctrl.finalize();
    EXPECT_EQ(GetCapturedStderr(), "");
}

} // namespace
