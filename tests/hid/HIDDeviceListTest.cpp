// The device list: matching by usage page and usage, the location-sorted snapshot, the cursor
// walk and the property getters, over the in-process fake device source.

#include "HIDDeviceList.h"
#include "HidTestSupport.h"

#include <FakeHidSource.h>

#include <gtest/gtest.h>

#include <functional>

namespace
{

using Locations = std::vector<long>;

class HIDDeviceListTest : public ::testing::Test
{
protected:
    void SetUp() override { fake.install(); }
    void TearDown() override { hidtest::resetHidGlobals(); }

    std::string addDevice(uint32_t page, uint32_t usage, uint32_t location)
    {
        auto device = testsupport::FakeHidSource::qel720(location);
        device.primaryUsagePage = page;
        device.primaryUsage = usage;
        return fake.addDevice(device);
    }

    // Adds one device per location and builds the list of all devices.
    bool buildWith(std::initializer_list<uint32_t> locations)
    {
        for (auto location : locations)
            addDevice(1, 2, location);
        return HIDBuildDeviceList(0, 0);
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
    struct Case
    {
        const char* name;
        std::function<Boolean()> build;
        Locations expected;
    };
    const Case cases[] = {
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

TEST_F(HIDDeviceListTest, ListIsASnapshotThatARebuildRefreshesButNeverEmpties)
{
    EXPECT_TRUE(HIDBuildDeviceList(0, 0)); // no device: true, and no list
    EXPECT_NE(gIOHIDManagerRef, nullptr);
    EXPECT_EQ(gDeviceCFArrayRef, nullptr);
    EXPECT_EQ(HIDGetFirstDevice(), nullptr);
    EXPECT_EQ(gDeviceIndex, 0);

    IOHIDManagerScheduleWithRunLoop(gIOHIDManagerRef, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    const auto later = addDevice(1, 2, 0x10);
    const auto earlier = addDevice(1, 2, 0x08);
    hidtest::pumpFor(0.1);
    EXPECT_EQ(gDeviceCFArrayRef, nullptr);
    HIDRebuildDevices();
    EXPECT_EQ(listedLocations(), (Locations{ 0x08, 0x10 }));

    CFMutableArrayRef before = gDeviceCFArrayRef;
    fake.removeDevice(later);
    fake.removeDevice(earlier);
    hidtest::pumpFor(0.1);
    HIDRebuildDevices();
    EXPECT_EQ(gDeviceCFArrayRef, before);
    EXPECT_EQ(listedLocations(), (Locations{ 0x08, 0x10 }));
}

TEST_F(HIDDeviceListTest, SortsByLocationAsUnsigned32BitWithoutLocationFirst)
{
    // 0x80000001 is stored as the 32-bit number -2147483647.
    ASSERT_TRUE(buildWith({ 0x80000001u, 2, 0x7FFFFFFFu, 0, 1 }));
    EXPECT_EQ(listedLocations(), (Locations{ 0, 1, 2, 0x7FFFFFFFL, 2147483649L }));
}

TEST_F(HIDDeviceListTest, WalkReturnsEachDeviceOnceThenNullUntilRestartedAndReleaseKeepsTheCursor)
{
    ASSERT_TRUE(buildWith({ 3, 1, 4, 2 }));
    Locations walked;
    for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice(device))
        walked.push_back(IOHIDDevice_GetLocationID(device));
    EXPECT_EQ(walked, (Locations{ 1, 2, 3, 4 }));
    EXPECT_EQ(gDeviceIndex, 4);
    EXPECT_EQ(HIDGetNextDevice(listed(0)), nullptr);
    EXPECT_EQ(gDeviceIndex, 4);

    EXPECT_EQ(HIDGetFirstDevice(), listed(0));
    EXPECT_EQ(gDeviceIndex, 0);
    EXPECT_EQ(HIDGetNextDevice(listed(2)), listed(3)); // away from the cursor: continues after it
    EXPECT_EQ(HIDGetNextDevice(nullptr), nullptr);
    EXPECT_EQ(gDeviceIndex, 3);

    IOHIDDeviceRef first = listed(0);
    CFRetain(first);
    const IOHIDManagerRef manager = gIOHIDManagerRef;
    HIDReleaseDeviceList();
    HIDReleaseDeviceList();
    EXPECT_EQ(gDeviceCFArrayRef, nullptr);
    EXPECT_EQ(gIOHIDManagerRef, manager);
    EXPECT_EQ(HIDGetNextDevice(first), nullptr);
    EXPECT_EQ(gDeviceIndex, 3);
    EXPECT_EQ(HIDGetFirstDevice(), nullptr);
    CFRelease(first);
}

TEST_F(HIDDeviceListTest, NextOfAnUnlistedDeviceFailsUntilTheWalkRestarts)
{
    addDevice(1, 2, 1);
    addDevice(1, 2, 2);
    addDevice(0xFF00, 1, 3);
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    IOHIDDeviceRef outsider = listed(2);
    CFRetain(outsider);
    ASSERT_TRUE(HIDBuildDeviceList(1, 2)); // the third device is no longer listed

    ASSERT_EQ(HIDGetFirstDevice(), listed(0));
    EXPECT_EQ(HIDGetNextDevice(outsider), nullptr);
    EXPECT_EQ(gDeviceIndex, -1);
    EXPECT_EQ(HIDGetNextDevice(listed(0)), nullptr);
    EXPECT_EQ(gDeviceIndex, -1);

    EXPECT_EQ(HIDGetFirstDevice(), listed(0));
    EXPECT_EQ(HIDGetNextDevice(listed(0)), listed(1));
    CFRelease(outsider);
}

TEST_F(HIDDeviceListTest, GettersReadTheUnsigned32BitPropertiesAndZeroForNoDevice)
{
    fake.addDevice(testsupport::FakeHidSource::qel720(0x01230000, 0xFFFFFFFFu));
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    IOHIDDeviceRef first = HIDGetFirstDevice();
    ASSERT_NE(first, nullptr);

    EXPECT_EQ(IOHIDDevice_GetVendorID(first), 0x3A91);
    EXPECT_EQ(IOHIDDevice_GetProductID(first), 0x0A6D);
    EXPECT_EQ(IOHIDDevice_GetVersionNumber(first), 4294967295L);
    EXPECT_EQ(IOHIDDevice_GetLocationID(first), 0x01230000);
    for (auto getter :
         { IOHIDDevice_GetVendorID, IOHIDDevice_GetProductID, IOHIDDevice_GetVersionNumber, IOHIDDevice_GetLocationID })
        EXPECT_EQ(getter(nullptr), 0);
}

} // namespace
