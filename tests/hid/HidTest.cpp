// The HID layer where the update tests cannot look: the device list's matching, order and cursor,
// which device the link takes and whom it refuses, and what a removed or released device does to
// a sender. Over the fake device source; the test is the link's client.

#include "CFObject.h"
#include "HIDDeviceList.h"
#include "HidCtrl.h"
#include "SimulatedQel720.h"

#include <FakeHidSource.h>
#include <HidTestKit.h>
#include <ScopedThread.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <future>

using testsupport::FakeHidSource;
using testsupport::pumpUntil;

namespace
{
using Locations = std::vector<long>;

long retainCount(CFTypeRef object) { return platform::asObject(object)->retainCount(); }

// Its version number is its location, so that both are seen read as unsigned.
platform::HidDeviceDescription device(uint32_t location, uint32_t page, uint32_t usage, uint32_t vendor = 0x3A91,
                                      uint32_t product = 0x0A6D)
{
    auto description = FakeHidSource::qel720(location, location);
    description.primaryUsagePage = page;
    description.primaryUsage = usage;
    description.vendorID = vendor;
    description.productID = product;
    return description;
}

IOHIDDeviceRef listed(CFIndex index) { return (IOHIDDeviceRef)CFArrayGetValueAtIndex(gDeviceCFArrayRef, index); }

Locations listedLocations()
{
    Locations locations;
    for (CFIndex i = 0; gDeviceCFArrayRef != nullptr && i < CFArrayGetCount(gDeviceCFArrayRef); ++i)
        locations.push_back(IOHIDDevice_GetLocationID(listed(i)));
    return locations;
}

class Hid : public ::testing::Test, public HidHandler
{
protected:
    void SetUp() override { fake.install(); }
    void TearDown() override
    {
        ctrl.finalize();
        testsupport::resetHidGlobals();
    }
    void removalCallBack() override { ++removals; }
    void matchingCallBack() override { ++arrivals; }
    void inputCallBack(int) override { ++inputs; }

    bool send()
    {
        uint8_t report[64] = { 0xF0 };
        return ctrl.sendData(report, sizeof report);
    }

    FakeHidSource fake;
    HidCtrl ctrl;
    int removals = 0, arrivals = 0, inputs = 0;
};

TEST_F(Hid, ListMatchesThePairsGivenAndEachBuildReplacesTheMatching)
{
    const uint32_t present[][3] = { { 1, 2, 0x10 }, { 1, 6, 0x20 }, { 0xFF00, 1, 0x30 }, { 0xFF00, 6, 0x40 } };
    for (auto& [page, usage, location] : present)
        fake.addDevice(device(location, page, usage));
    const UInt32 pages[] = { 1, 0xFF00 }, usages[] = { 6, 1 };
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

// Location and version are unsigned 32-bit: 0x80000001 is stored as a negative number.
TEST_F(Hid, ListIsInLocationOrderReadAsUnsignedAndTheCursorWalksItOnce)
{
    for (uint32_t location : { 0x80000001u, 2u, 0x7FFFFFFFu, 0u, 1u })
        fake.addDevice(device(location, 1, 2));
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    const Locations all{ 0, 1, 2, 0x7FFFFFFFL, 0x80000001L };
    EXPECT_EQ(listedLocations(), all);
    EXPECT_EQ(IOHIDDevice_GetVersionNumber(listed(4)), 0x80000001L);
    for (auto getter :
         { IOHIDDevice_GetVendorID, IOHIDDevice_GetProductID, IOHIDDevice_GetVersionNumber, IOHIDDevice_GetLocationID })
        EXPECT_EQ(getter(nullptr), 0);

    Locations walked;
    for (IOHIDDeviceRef at = HIDGetFirstDevice(); at != nullptr; at = HIDGetNextDevice(at))
        walked.push_back(IOHIDDevice_GetLocationID(at));
    EXPECT_EQ(walked, all);
    EXPECT_EQ(HIDGetNextDevice(listed(0)), nullptr) << "past the end until the walk restarts";
    EXPECT_EQ(HIDGetFirstDevice(), listed(0));
    EXPECT_EQ(HIDGetNextDevice(listed(2)), listed(3)) << "a device off the cursor: on after it";
    EXPECT_EQ(HIDGetNextDevice(listed(3)), listed(4));
    HIDReleaseDeviceList();
    EXPECT_EQ(HIDGetFirstDevice(), nullptr);
}

TEST_F(Hid, AManagerThatCannotBeOpenedIsReportedAndLeavesTheLinkUnconnected)
{
    fake.addDevice(FakeHidSource::qel720(0x01100000));
    fake.setStartFails(true);
    testing::internal::CaptureStderr();
    const int connected = ctrl.initialize(this, 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Boolean HIDBuildMultiDeviceList(const UInt32 *, const UInt32 *, "
                                                      "int): Couldn\xE2\x80\x99t open IOHIDManager.");
    EXPECT_EQ(connected, 0);
    EXPECT_NE(gIOHIDManagerRef, nullptr); // kept, unopened
    EXPECT_EQ(gDeviceCFArrayRef, nullptr);
}

// Of the present devices only the lowest QEL-720 is taken, silently; of later ones the first
// QEL-720. Only its replies (0xF0 and up) are relayed.
TEST_F(Hid, LinkTakesOnlyAQel720AndOfThosePresentTheLowestLocation)
{
    for (bool present : { true, false })
    {
        SCOPED_TRACE(present ? "present" : "arriving");
        FakeHidSource source;
        source.install();
        SimulatedQel720 low, high;
        const auto plugIn = [&]
        {
            source.addDevice(device(0x01000000, 0xFF00, 1, 0x3A91, 0x0A6E));
            source.addDevice(device(0x01050000, 0xFF00, 1, 0x3A92, 0x0A6D));
            low.attach(source, 0x01100000, 0x0123);
            high.attach(source, 0x01200000, 0x0210);
        };
        if (present)
            plugIn();
        HidCtrl link;
        EXPECT_EQ(link.initialize(this, 1), present ? 1 : 0);
        if (!present)
            plugIn();
        ASSERT_TRUE(present ? testsupport::pumpPosted() : pumpUntil([&] { return arrivals == 1; }));
        EXPECT_EQ(arrivals, present ? 0 : 1);
        EXPECT_EQ(link.m_version, 123); // BCD read as decimal
        low.injectReport({ 0x12, 0x80 });
        uint8_t query[64] = { 0xF0 };
        EXPECT_TRUE(link.sendData(query, 64));
        EXPECT_EQ(low.commands().size(), 1u);
        EXPECT_TRUE(high.commands().empty());
        ASSERT_TRUE(pumpUntil([&] { return inputs == 1; }));
        EXPECT_EQ(link.m_data[0], 0xF0) << "a report below 0xF0 was relayed";
        link.finalize();
        testsupport::resetHidGlobals();
        arrivals = inputs = 0;
    }
}

TEST_F(Hid, LinkRefusesAnUnknownDeviceTypeAndASecondHolder)
{
    SimulatedQel720 qel;
    qel.attach(fake);
    for (int type : { -1, 2 })
    {
        EXPECT_EQ(ctrl.initialize(this, type), 0) << type;
        EXPECT_EQ(ctrl.m_pHidUtil, nullptr) << type;
    }
    ASSERT_EQ(ctrl.initialize(this, 1), 1);
    {
        HidCtrl second;
        EXPECT_EQ(second.initialize(this, 1), 0);
        EXPECT_EQ(second.m_pHidUtil, nullptr);
    }
    EXPECT_TRUE(send()) << "the second link took the first one's device or manager";
    ASSERT_TRUE(pumpUntil([&] { return inputs == 1; }));
}

// The removal reaches the sender either way: from the node before the manager has seen it, and
// from the device object after.
TEST_F(Hid, ARemovedDeviceFailsSendsAndIsLetGoOnceItsRemovalIsDelivered)
{
    const auto key = fake.addDevice(FakeHidSource::qel720(0x01100000));
    ASSERT_EQ(ctrl.initialize(this, 1), 1);
    IOHIDDeviceRef held = HIDGetFirstDevice();
    CFRetain(held); // a sender's reference
    const uint8_t report[64] = { 0xF0 };
    fake.removeDevice(key);
    EXPECT_EQ(IOHIDDeviceSetReport(held, kIOHIDReportTypeOutput, 0, report, 64), kIOReturnNotAttached);
    ASSERT_TRUE(pumpUntil([&] { return removals == 1; }));
    EXPECT_EQ(IOHIDDeviceSetReport(held, kIOHIDReportTypeOutput, 0, report, 64), kIOReturnNotAttached);
    EXPECT_EQ(retainCount(held), 2) << "only ours and the device list's should be left";
    EXPECT_FALSE(send());
    CFRelease(held);
}

// The link lets go of the device (and the manager with it) while a worker is inside a send.
TEST_F(Hid, FinalizingWhileAWorkerSendsKeepsTheDeviceUntilTheSendEnds)
{
    const auto key = fake.addDevice(FakeHidSource::qel720(0x01100000));
    std::promise<void> writing, letGo;
    fake.setReportHandler(key,
                          [&, released = letGo.get_future().share()](const uint8_t*, size_t)
                          {
                              writing.set_value();
                              released.wait();
                              return testsupport::OutputReportOutcome{};
                          });
    ASSERT_EQ(ctrl.initialize(this, 1), 1);
    ASSERT_TRUE(testsupport::pumpPosted()); // the manager's announcement holds the device while it waits
    // A property of the device lives exactly as long as the device object.
    CFTypeRef vendor = CFRetain(IOHIDDeviceGetProperty(HIDGetFirstDevice(), CFSTR(kIOHIDVendorIDKey)));

    bool sent = false;
    testsupport::ScopedThread worker([&] { sent = send(); }, [&] { letGo.set_value(); });
    writing.get_future().wait_for(std::chrono::seconds(5));
    ctrl.finalize();
    const long duringTheSend = retainCount(vendor);
    worker.join();
    EXPECT_EQ(duringTheSend, 2) << "the device went while the worker was sending on it";
    EXPECT_TRUE(sent);
    EXPECT_EQ(retainCount(vendor), 1) << "the sender kept the device after its send";
    CFRelease(vendor);
}

// A device with the same ids may send longer reports (a numbered one through hidraw is 65 bytes):
// the reader gets no more than the buffer it registered.
TEST_F(Hid, AnInputReportLongerThanTheRegisteredBufferIsCutToIt)
{
    const auto key = fake.addDevice(FakeHidSource::qel720(0x01100000));
    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    uint8_t buffer[72];
    std::memset(buffer, 0xEE, sizeof buffer);
    CFIndex length = -1;
    IOHIDDeviceRegisterInputReportCallback(
        listed(0), buffer, 64,
        [](void* context, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t*, CFIndex n)
        { *static_cast<CFIndex*>(context) = n; },
        &length);
    IOHIDDeviceScheduleWithRunLoop(listed(0), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    fake.injectInputReport(key, std::vector<uint8_t>(65, 0x5A));
    ASSERT_TRUE(pumpUntil([&] { return length >= 0; }));
    EXPECT_EQ(length, 64);
    EXPECT_EQ(std::count(buffer, buffer + 64, 0x5A), 64);
    EXPECT_EQ(std::count(buffer + 64, std::end(buffer), 0xEE), 8);
}

// It could never report input or its removal.
TEST_F(Hid, ADeviceWhoseNodeTheRunLoopCannotWatchIsReportedRemovedRightAway)
{
    const auto key = fake.addDevice(FakeHidSource::qel720(0x01100000));
    fake.setUnwatchable(key);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ctrl.initialize(this, 1), 1);
    EXPECT_TRUE(pumpUntil([&] { return removals == 1; }));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot watch"), std::string::npos);
}

} // namespace
