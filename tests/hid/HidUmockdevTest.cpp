// The HID layer over the real Linux backend, to emulated devices behind real hidraw nodes
// (umockdev): what only the device tree, real nodes and udev show. This binary runs under
// umockdev-wrapper.

#include "HIDDeviceList.h"
#include "HidCtrl.h"
#include "SimulatedQel720.h"

#include <HidTestKit.h>
#include <RecordingHandler.h>
#include <ScopedThread.h>
#include <UmockdevHidTestbed.h>

#include <gtest/gtest.h>

#include <map>

using testsupport::makeReport;
using testsupport::pumpUntil;
using testsupport::UmockdevHidTestbed;

namespace
{

// One testbed for the process: it must exist before the first udev monitor.
UmockdevHidTestbed* testbed = nullptr;

UmockdevHidTestbed::DeviceSpec at(int bus, std::vector<int> ports, uint16_t bcdDevice = 0x0100)
{
    UmockdevHidTestbed::DeviceSpec spec;
    spec.busNumber = bus;
    spec.portPath = std::move(ports);
    spec.bcdDevice = bcdDevice;
    return spec;
}

std::vector<long> listedLocations()
{
    std::vector<long> locations;
    for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice(device))
        locations.push_back(IOHIDDevice_GetLocationID(device));
    return locations;
}

class HidUmockdevTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (testbed == nullptr && UmockdevHidTestbed::available())
            testbed = new UmockdevHidTestbed();
    }

    void SetUp() override
    {
        if (testbed == nullptr)
            GTEST_SKIP() << "not running under umockdev-wrapper";
        client.ctrl = &ctrl;
    }
    void TearDown() override
    {
        ctrl.finalize();
        testsupport::resetHidGlobals();
        for (auto id : added)
            testbed->removeDevice(id);
    }

    UmockdevHidTestbed::DeviceId add(const UmockdevHidTestbed::DeviceSpec& spec)
    {
        added.push_back(testbed->addDevice(spec));
        EXPECT_NE(added.back(), 0);
        return added.back();
    }

    std::vector<UmockdevHidTestbed::DeviceId> added;
    HidCtrl ctrl;
    testsupport::RecordingHandler client;
};

TEST_F(HidUmockdevTest, DevicesReadTheirIdsVersionUsageAndLocationFromTheDeviceTree)
{
    struct Case
    {
        const char* name;
        UmockdevHidTestbed::DeviceSpec spec;
        long location;            // 0: the path does not fit, so the bus and the device's address
        std::vector<long> expect; // vendor, product, version
    };
    const std::vector<long> qel{ 0x3A91, 0x0A6D, 0x0100 };
    std::vector<Case> cases{
        { "on a root port", at(1, { 1 }), 0x01100000, qel },
        { "behind a hub on another bus", at(3, { 2, 4 }, 0x0210), 0x03240000, { 0x3A91, 0x0A6D, 0x0210 } },
        { "a keyboard", at(1, { 5 }), 0x01500000, { 0x046D, 0xC31C, 0x0100 } },
        { "on port 17 of a hub on root port 20", at(1, { 20, 17 }), 0x01F14F11, qel },
        { "seven levels deep", at(1, { 1, 2, 3, 4, 5, 6, 7 }), 0, qel },
    };
    cases[2].spec.vendorID = 0x046D;
    cases[2].spec.productID = 0xC31C;
    cases[2].spec.usagePage = 1;
    cases[2].spec.usage = 6;
    for (auto& c : cases)
        if (const auto id = add(c.spec); c.location == 0)
            c.location = 0x01F00000 | id;

    ASSERT_TRUE(HIDBuildDeviceList(0, 0));
    std::map<long, std::vector<long>> listed;
    for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice(device))
        listed[IOHIDDevice_GetLocationID(device)] = { IOHIDDevice_GetVendorID(device), IOHIDDevice_GetProductID(device),
                                                      IOHIDDevice_GetVersionNumber(device) };
    EXPECT_EQ(listed.size(), cases.size());
    for (auto& c : cases)
        EXPECT_EQ(listed[c.location], c.expect) << c.name << std::hex << " at 0x" << c.location;

    // Usage page and usage come from each device's report descriptor.
    ASSERT_TRUE(HIDBuildDeviceList(1, 6));
    EXPECT_EQ(listedLocations(), std::vector<long>{ 0x01500000 });
    ASSERT_TRUE(HIDBuildDeviceList(0xFF00, 1));
    EXPECT_EQ(listedLocations().size(), cases.size() - 1);
}

TEST_F(HidUmockdevTest, ReportsCrossTheNodeWholeAndByteForByteWithReportIdZeroFirst)
{
    const auto id = add({});
    ASSERT_EQ(ctrl.initialize(&client, 1), 1);
    std::vector<uint8_t> command(64), reply(64), written;
    for (size_t i = 0; i < 64; ++i)
    {
        command[i] = (uint8_t)(0xF3 - i * 5); // every byte value a byte stream could mangle, 0x0A and 0x0D too
        reply[i] = (uint8_t)(0xF3 + i * 3);
    }
    EXPECT_TRUE(ctrl.sendData(command.data(), command.size()));
    EXPECT_TRUE(testbed->readHostWrite(id, written, 1000));
    command.insert(command.begin(), 0x00);
    EXPECT_EQ(written, command);

    testbed->writeInputReport(id, reply);
    EXPECT_TRUE(pumpUntil([&] { return client.count("input") == 1; }));
    EXPECT_EQ(ctrl.m_dataLen, 64u);
    EXPECT_EQ(std::vector<uint8_t>(ctrl.m_data, ctrl.m_data + 64), reply);
}

TEST_F(HidUmockdevTest, UdevPlugUnplugAndReplugReachTheClientAndTheSimulatedDeviceAnswersAWorker)
{
    ASSERT_EQ(ctrl.initialize(&client, 1), 0);
    SimulatedQel720 device;
    const auto id = device.attach(*testbed);
    ASSERT_NE(id, 0);
    added.push_back(id);
    EXPECT_TRUE(pumpUntil([&] { return client.count("matching") == 1; }));

    bool sent = false;
    testsupport::ScopedThread([&] { sent = ctrl.sendData(makeReport({ 0xF0, 0x00 }).data(), 64); }).join();
    EXPECT_TRUE(sent);
    EXPECT_TRUE(pumpUntil([&] { return client.count("input") == 1; }));
    EXPECT_EQ(client.last().data, makeReport({ 0xF0, 0x80 }));
    device.injectReport(SimulatedQel720::Report{ 0xF0, 0x84 });
    EXPECT_TRUE(pumpUntil([&] { return client.count("input") == 2; }));
    EXPECT_EQ(client.last().data, makeReport({ 0xF0, 0x84 }));

    testbed->removeDevice(id);
    EXPECT_TRUE(pumpUntil([&] { return client.count("removal") == 1; }));
    EXPECT_EQ(ctrl.m_bConnected, 0);
    add({});
    EXPECT_TRUE(pumpUntil([&] { return client.count("matching") == 2; }));
    EXPECT_EQ(client.events.size(), 5u);
}

} // namespace
