// The device list: matching by usage page and usage, the location-sorted list, the cursor walk,
// the property getters and the manager that cannot be opened, over the fake device source.

#include "HIDDeviceList.h"
#include "HidCtrl.h"

#include <FakeHidSource.h>
#include <HidTestKit.h>
#include <RecordingHandler.h>

#include <gtest/gtest.h>

#include <functional>

namespace
{

using Locations = std::vector<long>;

class HIDDeviceListTest : public ::testing::Test
{
protected:
    void SetUp() override { fake.install(); }
    void TearDown() override { testsupport::resetHidGlobals(); }

    std::string addDevice(uint32_t page, uint32_t usage, uint32_t location, uint32_t version = 0x0100)
    {
        auto device = testsupport::FakeHidSource::qel720(location, version);
        device.primaryUsagePage = page;
        device.primaryUsage = usage;
        return fake.addDevice(device);
    }

    static Locations listedLocations()
    {
        Locations locations;
        for (CFIndex i = 0; gDeviceCFArrayRef != nullptr && i < CFArrayGetCount(gDeviceCFArrayRef); ++i)
            locations.push_back(IOHIDDevice_GetLocationID(listed(i)));
        return locations;
    }

    static IOHIDDeviceRef listed(CFIndex index)
    {
        return (IOHIDDeviceRef)CFArrayGetValueAtIndex(gDeviceCFArrayRef, index);
    }

    testsupport::FakeHidSource fake;
};

TEST_F(HIDDeviceListTest, MatchingFollowsThePairsGivenAndEachBuildReplacesIt)
{
    addDevice(1, 2, 0x10);
    addDevice(1, 6, 0x20);
    addDevice(0xFF00, 1, 0x30);
    addDevice(0xFF00, 6, 0x40);
    const UInt32 pages[] = { 1, 0xFF00 };
    const UInt32 usages[] = { 6, 1 };
    const Locations all{ 0x10, 0x20, 0x30, 0x40 };
    const struct
    {
        const char* name;
        std::function<Boolean()> build;
        Locations expected;
    } cases[] = {
        { "page 0", [] { return HIDBuildDeviceList(0, 0); }, all },
        { "page 0 ignores the usage", [] { return HIDBuildDeviceList(0, 6); }, all },
        { "page alone", [] { return HIDBuildDeviceList(1, 0); }, { 0x10, 0x20 } },
        { "page and usage", [] { return HIDBuildDeviceList(1, 6); }, { 0x20 } },
        { "any of two pairs", [&] { return HIDBuildMultiDeviceList(pages, usages, 2); }, { 0x20, 0x30 } },
        { "null pages", [&] { return HIDBuildMultiDeviceList(nullptr, usages, 2); }, all },
        { "null usages", [&] { return HIDBuildMultiDeviceList(pages, nullptr, 2); }, all },
        { "count 0", [&] { return HIDBuildMultiDeviceList(pages, usages, 0); }, all },
    };
    ASSERT_TRUE(HIDBuildDeviceList(0xFF00, 6));
    const IOHIDManagerRef manager = gIOHIDManagerRef;
    for (const auto& c : cases)
    {
        ASSERT_TRUE(HIDBuildDeviceList(0xFF00, 6)); // the case must replace this narrow matching
        EXPECT_TRUE(c.build()) << c.name;
        EXPECT_EQ(listedLocations(), c.expected) << c.name;
        EXPECT_EQ(gIOHIDManagerRef, manager) << c.name;
    }
}

TEST_F(HIDDeviceListTest, PropertiesReadAsUnsigned32BitSoTheTopBitSortsLastAndMissingOnesAsZero)
{
    for (uint32_t location : { 0x80000001u, 2u, 0x7FFFFFFFu, 0u, 1u }) // 0x80000001 is stored as -2147483647
        addDevice(1, 2, location, location);
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    EXPECT_EQ(listedLocations(), (Locations{ 0, 1, 2, 0x7FFFFFFFL, 2147483649L }));
    EXPECT_EQ(IOHIDDevice_GetVersionNumber(listed(4)), 2147483649L);
    EXPECT_EQ(IOHIDDevice_GetVendorID(listed(4)), 0x3A91);
    EXPECT_EQ(IOHIDDevice_GetProductID(listed(4)), 0x0A6D);
    for (auto getter :
         { IOHIDDevice_GetVendorID, IOHIDDevice_GetProductID, IOHIDDevice_GetVersionNumber, IOHIDDevice_GetLocationID })
        EXPECT_EQ(getter(nullptr), 0);
}

TEST_F(HIDDeviceListTest, WalkReturnsEachDeviceOnceThenNullUntilRestarted)
{
    for (uint32_t location : { 3, 1, 4, 2 })
        addDevice(1, 2, location);
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    Locations walked;
    for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice(device))
        walked.push_back(IOHIDDevice_GetLocationID(device));
    EXPECT_EQ(walked, (Locations{ 1, 2, 3, 4 }));
    EXPECT_EQ(HIDGetNextDevice(listed(0)), nullptr); // past the end, until the walk restarts
    EXPECT_EQ(HIDGetFirstDevice(), listed(0));
    HIDReleaseDeviceList();
    EXPECT_EQ(HIDGetFirstDevice(), nullptr);
}

TEST_F(HIDDeviceListTest, AManagerThatCannotBeOpenedIsReportedAndLeavesTheLinkUnconnected)
{
    addDevice(0xFF00, 1, 0x01100000);
    fake.setStartFails(true);
    testsupport::RecordingHandler client;
    HidCtrl ctrl;
    testing::internal::CaptureStderr();
    const int connected = ctrl.initialize(&client, 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Boolean HIDBuildMultiDeviceList(const UInt32 *, const UInt32 *, "
                                                      "int): Couldn\xE2\x80\x99t open IOHIDManager.");
    EXPECT_EQ(connected, 0);
    EXPECT_NE(gIOHIDManagerRef, nullptr); // kept, unopened
    EXPECT_EQ(gDeviceCFArrayRef, nullptr);
}

} // namespace
