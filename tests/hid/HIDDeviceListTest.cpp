// The device list: matching by usage page and usage, the location-sorted snapshot, the cursor
// walk and the property getters, over the in-process fake device source.

#include "HIDDeviceList.h"
#include "HidTestSupport.h"

#include <FakeHidSource.h>

#include <gtest/gtest.h>

namespace
{

class HIDDeviceListTest : public ::testing::Test
{
protected:
    void SetUp() override { fake.install(); }
    void TearDown() override { hidtest::resetHidGlobals(); }

    std::string addDevice (uint32_t page, uint32_t usage, uint32_t location)
    {
        platform::HidDeviceDescription device;
        device.nodePath = "/dev/hidraw-fake";
        device.vendorID = 0x1234;
        device.productID = 0x5678;
        device.primaryUsagePage = page;
        device.primaryUsage = usage;
        device.locationID = location;
        return fake.addDevice (device);
    }

    static std::vector<long> listedLocations()
    {
        std::vector<long> locations;
        for (CFIndex i = 0; gDeviceCFArrayRef != nullptr && i < CFArrayGetCount (gDeviceCFArrayRef); ++i)
            locations.push_back (IOHIDDevice_GetLocationID (listed (i)));
        return locations;
    }

    static IOHIDDeviceRef listed (CFIndex index)
    {
        return (IOHIDDeviceRef) CFArrayGetValueAtIndex (gDeviceCFArrayRef, index);
    }

    testsupport::FakeHidSource fake;
};

using Locations = std::vector<long>;

TEST_F (HIDDeviceListTest, UsagePageZeroMatchesEveryDeviceWhateverTheUsage)
{
    addDevice (1, 2, 0x10);
    addDevice (0xFF00, 1, 0x20);
    EXPECT_TRUE (HIDBuildDeviceList (0, 0));
    EXPECT_EQ (listedLocations(), (Locations { 0x10, 0x20 }));

    EXPECT_TRUE (HIDBuildDeviceList (0, 6));
    EXPECT_EQ (listedLocations(), (Locations { 0x10, 0x20 }));
}

TEST_F (HIDDeviceListTest, UsagePageAloneMatchesEveryUsageOfThatPage)
{
    addDevice (1, 2, 0x10);
    addDevice (1, 6, 0x20);
    addDevice (0xFF00, 1, 0x30);
    EXPECT_TRUE (HIDBuildDeviceList (1, 0));
    EXPECT_EQ (listedLocations(), (Locations { 0x10, 0x20 }));
}

TEST_F (HIDDeviceListTest, UsagePageAndUsageMustBothMatch)
{
    addDevice (1, 2, 0x10);
    addDevice (1, 6, 0x20);
    addDevice (0xFF00, 6, 0x30);
    EXPECT_TRUE (HIDBuildDeviceList (1, 6));
    EXPECT_EQ (listedLocations(), (Locations { 0x20 }));
}

TEST_F (HIDDeviceListTest, NullArraysOrZeroCountMatchEveryDevice)
{
    addDevice (1, 2, 0x10);
    addDevice (0xFF00, 1, 0x20);
    const UInt32 pages[] = { 1 };
    const UInt32 usages[] = { 2 };

    EXPECT_TRUE (HIDBuildMultiDeviceList (nullptr, usages, 1));
    EXPECT_EQ (listedLocations(), (Locations { 0x10, 0x20 }));
    EXPECT_TRUE (HIDBuildMultiDeviceList (pages, nullptr, 1));
    EXPECT_EQ (listedLocations(), (Locations { 0x10, 0x20 }));
    EXPECT_TRUE (HIDBuildMultiDeviceList (pages, usages, 0));
    EXPECT_EQ (listedLocations(), (Locations { 0x10, 0x20 }));
}

TEST_F (HIDDeviceListTest, SeveralPairsMatchADeviceThatFitsAnyOfThem)
{
    addDevice (1, 2, 0x10);
    addDevice (1, 6, 0x20);
    addDevice (0xFF00, 1, 0x30);
    const UInt32 pages[] = { 1, 0xFF00 };
    const UInt32 usages[] = { 6, 1 };
    EXPECT_TRUE (HIDBuildMultiDeviceList (pages, usages, 2));
    EXPECT_EQ (listedLocations(), (Locations { 0x20, 0x30 }));
}

TEST_F (HIDDeviceListTest, SecondBuildKeepsTheManagerAndRebuildsTheListWithNewMatching)
{
    addDevice (1, 2, 0x10);
    addDevice (1, 6, 0x20);
    ASSERT_TRUE (HIDBuildDeviceList (0, 0));
    IOHIDManagerRef manager = gIOHIDManagerRef;
    ASSERT_NE (manager, nullptr);
    EXPECT_EQ (listedLocations(), (Locations { 0x10, 0x20 }));

    EXPECT_TRUE (HIDBuildDeviceList (1, 6));
    EXPECT_EQ (gIOHIDManagerRef, manager);
    EXPECT_EQ (listedLocations(), (Locations { 0x20 }));
}

TEST_F (HIDDeviceListTest, ListIsASnapshotThatARebuildRefreshes)
{
    addDevice (1, 2, 0x10);
    ASSERT_TRUE (HIDBuildDeviceList (0, 0));
    IOHIDManagerScheduleWithRunLoop (gIOHIDManagerRef, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    addDevice (1, 2, 0x08);
    hidtest::pumpFor (0.1);
    EXPECT_EQ (listedLocations(), (Locations { 0x10 }));

    HIDRebuildDevices();
    EXPECT_EQ (listedLocations(), (Locations { 0x08, 0x10 }));
}

TEST_F (HIDDeviceListTest, NoDeviceGivesTrueAndNoList)
{
    EXPECT_TRUE (HIDBuildDeviceList (0, 0));
    EXPECT_NE (gIOHIDManagerRef, nullptr);
    EXPECT_EQ (gDeviceCFArrayRef, nullptr);
    EXPECT_EQ (HIDGetFirstDevice(), nullptr);
    EXPECT_EQ (gDeviceIndex, 0);
}

TEST_F (HIDDeviceListTest, RebuildWithoutDevicesKeepsThePreviousList)
{
    const std::string key = addDevice (1, 2, 0x10);
    ASSERT_TRUE (HIDBuildDeviceList (0, 0));
    IOHIDManagerScheduleWithRunLoop (gIOHIDManagerRef, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    CFMutableArrayRef before = gDeviceCFArrayRef;
    fake.removeDevice (key);
    hidtest::pumpFor (0.1);

    HIDRebuildDevices();
    EXPECT_EQ (gDeviceCFArrayRef, before);
    EXPECT_EQ (listedLocations(), (Locations { 0x10 }));
}

TEST_F (HIDDeviceListTest, ReleaseDropsTheListButKeepsManagerAndCursor)
{
    addDevice (1, 2, 0x10);
    addDevice (1, 2, 0x20);
    ASSERT_TRUE (HIDBuildDeviceList (0, 0));
    HIDGetNextDevice (HIDGetFirstDevice());
    IOHIDManagerRef manager = gIOHIDManagerRef;

    HIDReleaseDeviceList();
    EXPECT_EQ (gDeviceCFArrayRef, nullptr);
    EXPECT_EQ (gIOHIDManagerRef, manager);
    EXPECT_EQ (gDeviceIndex, 1);
    HIDReleaseDeviceList();
    EXPECT_EQ (gDeviceCFArrayRef, nullptr);
}

TEST_F (HIDDeviceListTest, SortsByLocationWithADeviceWithoutLocationFirst)
{
    addDevice (1, 2, 2);
    addDevice (1, 2, 1);
    addDevice (1, 2, 0);
    ASSERT_TRUE (HIDBuildDeviceList (0, 0));
    EXPECT_EQ (listedLocations(), (Locations { 0, 1, 2 }));
}

TEST_F (HIDDeviceListTest, NegativeLocationReadsUnsignedAndSortsAfterTopBitClear)
{
    addDevice (1, 2, 0x80000001u); // stored as the 32-bit number -2147483647
    addDevice (1, 2, 0x7FFFFFFFu);
    addDevice (1, 2, 5);
    ASSERT_TRUE (HIDBuildDeviceList (0, 0));
    EXPECT_EQ (listedLocations(), (Locations { 5, 0x7FFFFFFFL, 0x80000001L }));
    EXPECT_EQ (IOHIDDevice_GetLocationID (listed (2)), 2147483649L);
}

TEST_F (HIDDeviceListTest, WalkReturnsEachDeviceOnceThenNullForEver)
{
    addDevice (1, 2, 3);
    addDevice (1, 2, 1);
    addDevice (1, 2, 2);
    ASSERT_TRUE (HIDBuildDeviceList (0, 0));

    std::vector<long> walked;
    IOHIDDeviceRef last = nullptr;
    for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice (device))
    {
        walked.push_back (IOHIDDevice_GetLocationID (device));
        last = device;
    }
    EXPECT_EQ (walked, (Locations { 1, 2, 3 }));
    EXPECT_EQ (gDeviceIndex, 3);
    EXPECT_EQ (HIDGetNextDevice (last), nullptr);
    EXPECT_EQ (HIDGetNextDevice (listed (0)), nullptr);
    EXPECT_EQ (gDeviceIndex, 3);

    EXPECT_EQ (HIDGetFirstDevice(), listed (0));
    EXPECT_EQ (gDeviceIndex, 0);
}

TEST_F (HIDDeviceListTest, NextOfAListedDeviceAwayFromTheCursorContinuesAfterIt)
{
    for (uint32_t location = 1; location <= 4; ++location)
        addDevice (1, 2, location);
    ASSERT_TRUE (HIDBuildDeviceList (0, 0));
    ASSERT_EQ (HIDGetFirstDevice(), listed (0));

    EXPECT_EQ (HIDGetNextDevice (listed (2)), listed (3));
    EXPECT_EQ (gDeviceIndex, 3);
    EXPECT_EQ (HIDGetNextDevice (listed (3)), nullptr);
    EXPECT_EQ (gDeviceIndex, 4);
}

TEST_F (HIDDeviceListTest, NextOfAnUnlistedDeviceFailsUntilTheWalkRestarts)
{
    addDevice (1, 2, 1);
    addDevice (1, 2, 2);
    addDevice (0xFF00, 1, 3);
    ASSERT_TRUE (HIDBuildDeviceList (0, 0));
    IOHIDDeviceRef outsider = listed (2);
    CFRetain (outsider);
    ASSERT_TRUE (HIDBuildDeviceList (1, 2)); // the third device is no longer listed

    ASSERT_EQ (HIDGetFirstDevice(), listed (0));
    EXPECT_EQ (HIDGetNextDevice (outsider), nullptr);
    EXPECT_EQ (gDeviceIndex, -1);
    EXPECT_EQ (HIDGetNextDevice (listed (0)), nullptr);
    EXPECT_EQ (gDeviceIndex, -1);

    EXPECT_EQ (HIDGetFirstDevice(), listed (0));
    EXPECT_EQ (HIDGetNextDevice (listed (0)), listed (1));
    CFRelease (outsider);
}

TEST_F (HIDDeviceListTest, NextOfNullOrWithoutAListLeavesTheCursor)
{
    addDevice (1, 2, 1);
    addDevice (1, 2, 2);
    ASSERT_TRUE (HIDBuildDeviceList (0, 0));
    IOHIDDeviceRef first = HIDGetFirstDevice();
    CFRetain (first);

    EXPECT_EQ (HIDGetNextDevice (nullptr), nullptr);
    EXPECT_EQ (gDeviceIndex, 0);
    HIDReleaseDeviceList();
    EXPECT_EQ (HIDGetNextDevice (first), nullptr);
    EXPECT_EQ (gDeviceIndex, 0);
    EXPECT_EQ (HIDGetFirstDevice(), nullptr);
    CFRelease (first);
}

TEST_F (HIDDeviceListTest, GettersReadTheUnsigned32BitPropertiesAndZeroForNoDevice)
{
    platform::HidDeviceDescription device;
    device.vendorID = 0x3A91;
    device.productID = 0x0A6D;
    device.versionNumber = 0xFFFFFFFFu;
    device.locationID = 0x01230000;
    fake.addDevice (device);
    ASSERT_TRUE (HIDBuildDeviceList (0, 0));
    IOHIDDeviceRef first = HIDGetFirstDevice();
    ASSERT_NE (first, nullptr);

    EXPECT_EQ (IOHIDDevice_GetVendorID (first), 0x3A91);
    EXPECT_EQ (IOHIDDevice_GetProductID (first), 0x0A6D);
    EXPECT_EQ (IOHIDDevice_GetVersionNumber (first), 4294967295L);
    EXPECT_EQ (IOHIDDevice_GetLocationID (first), 0x01230000);

    EXPECT_EQ (IOHIDDevice_GetVendorID (nullptr), 0);
    EXPECT_EQ (IOHIDDevice_GetProductID (nullptr), 0);
    EXPECT_EQ (IOHIDDevice_GetVersionNumber (nullptr), 0);
    EXPECT_EQ (IOHIDDevice_GetLocationID (nullptr), 0);
}

} // namespace
