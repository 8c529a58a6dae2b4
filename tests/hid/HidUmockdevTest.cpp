// The HID layer over the real Linux backend: emulated devices behind real hidraw nodes
// (umockdev). This binary runs under umockdev-wrapper.

#include "HidCtrl.h"
#include "HidTestSupport.h"
#include "Qel720UmockdevTransport.h"

#include <UmockdevHidTestbed.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using hidtest::makeReport;
using hidtest::pumpFor;
using hidtest::pumpUntil;
using testsupport::UmockdevHidTestbed;

namespace
{

// One testbed for the suite: it must exist before the first udev monitor.
UmockdevHidTestbed* testbed = nullptr;

class HidUmockdevTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (testbed == nullptr && UmockdevHidTestbed::available())
            testbed = new UmockdevHidTestbed();
    }
    static void TearDownTestSuite()
    {
        delete testbed;
        testbed = nullptr;
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
        hidtest::resetHidGlobals();
        for (auto id : added)
            testbed->removeDevice(id);
    }

    // Adds an emulated device; the test fails if the testbed cannot make it.
    UmockdevHidTestbed::DeviceId add(uint16_t vendor, uint16_t product, std::vector<int> portPath,
                                     uint16_t bcd = 0x0100)
    {
        UmockdevHidTestbed::DeviceSpec spec;
        spec.vendorID = vendor;
        spec.productID = product;
        spec.bcdDevice = bcd;
        spec.portPath = std::move(portPath);
        const auto id = testbed->addDevice(spec);
        EXPECT_NE(id, 0);
        if (id != 0)
            added.push_back(id);
        return id;
    }

    // Which device receives what the link sends.
    bool receives(UmockdevHidTestbed::DeviceId id, std::vector<uint8_t> report)
    {
        std::vector<uint8_t> written, expected{ 0x00 };
        expected.insert(expected.end(), report.begin(), report.end());
        return ctrl.sendData(report.data(), report.size()) && testbed->readHostWrite(id, written, 1000) &&
               written == expected;
    }

    std::vector<UmockdevHidTestbed::DeviceId> added;
    HidCtrl ctrl;
    hidtest::RecordingHandler client;
};

TEST_F(HidUmockdevTest, WrongVendorOrProductIsNeverTakenAndTheLowestMatchingLocationIs)
{
    add(0x3A92, 0x0A6D, { 1 });
    add(0x3A91, 0x0A6E, { 2 });
    EXPECT_EQ(ctrl.initialize(&client, 1), 0);
    add(0x1234, 0x0A6D, { 3 });
    add(0x3A91, 0x0001, { 4 });
    pumpFor(0.5);
    EXPECT_TRUE(client.events.empty());
    ctrl.finalize();

    const auto later = add(0x3A91, 0x0A6D, { 3, 1 });
    const auto first = add(0x3A91, 0x0A6D, { 2, 4 });
    ASSERT_EQ(ctrl.initialize(&client, 1), 1); // the wrong ones sit at lower locations
    EXPECT_TRUE(receives(first, makeReport({ 0xF0, 0x00 }, 0x11)));
    std::vector<uint8_t> none;
    EXPECT_FALSE(testbed->readHostWrite(later, none, 200));
}

TEST_F(HidUmockdevTest, ArrivalRemovalAndReArrivalReachTheHandler)
{
    ASSERT_EQ(ctrl.initialize(&client, 1), 0);
    const auto id = add(0x3A91, 0x0A6D, { 1 }, 0x0210);
    ASSERT_TRUE(pumpUntil([&] { return client.count("matching") == 1; }));
    EXPECT_EQ(client.last().connected, 1);
    EXPECT_EQ(ctrl.m_version, 210);

    testbed->removeDevice(id);
    added.clear();
    ASSERT_TRUE(pumpUntil([&] { return client.count("removal") == 1; }));
    EXPECT_EQ(client.last().connected, 0);
    pumpFor(0.2);
    EXPECT_EQ(client.events.size(), 2u);

    const auto again = add(0x3A91, 0x0A6D, { 1 });
    ASSERT_TRUE(pumpUntil([&] { return client.count("matching") == 2; }));
    EXPECT_TRUE(receives(again, makeReport({ 0xF0, 0x01 })));
}

TEST_F(HidUmockdevTest, SixtyFourByteExchangeByteForByte)
{
    const auto id = add(0x3A91, 0x0A6D, { 1 });
    ASSERT_EQ(ctrl.initialize(&client, 1), 1);
    std::vector<uint8_t> command(64), reply(64);
    for (size_t i = 0; i < 64; ++i)
    {
        command[i] = (uint8_t)(0xF3 - i * 5);
        reply[i] = (uint8_t)(0xF3 + i * 3);
    }
    EXPECT_TRUE(receives(id, command));

    ASSERT_TRUE(testbed->writeInputReport(id, reply));
    ASSERT_TRUE(pumpUntil([&] { return client.count("input") == 1; }));
    EXPECT_EQ(client.last().dataLen, 64u);
    EXPECT_EQ(client.last().data, reply);

    ASSERT_TRUE(testbed->writeInputReport(id, makeReport({ 0x42, 0x80 })));
    pumpFor(0.2);
    EXPECT_EQ(client.count("input"), 1);
}

TEST_F(HidUmockdevTest, RemovalInTheMiddleOfAnExchange)
{
    const auto id = add(0x3A91, 0x0A6D, { 1 });
    ASSERT_EQ(ctrl.initialize(&client, 1), 1);
    std::atomic<int> answered{ 0 };
    testbed->setReportHandler(id,
                              [&](const uint8_t*, size_t)
                              {
                                  testsupport::OutputReportOutcome outcome;
                                  outcome.removeDevice =
                                      ++answered == 3; // vanish on the third command, without a reply
                                  if (!outcome.removeDevice)
                                      outcome.reply = std::array<uint8_t, 64>{ 0xF0, 0x80 };
                                  return outcome;
                              });

    std::atomic<bool> stop{ false };
    std::atomic<int> sent{ 0 }, refused{ 0 };
    std::thread worker(
        [&]
        {
            for (auto report = makeReport({ 0xF0, 0x00 }); !stop;
                 std::this_thread::sleep_for(std::chrono::milliseconds(5)))
                ++(ctrl.sendData(report.data(), report.size()) ? sent : refused);
        });
    const bool removed = pumpUntil([&] { return client.count("removal") == 1; }, 5.0);
    pumpFor(0.2);
    stop = true;
    worker.join();
    added.clear(); // the testbed has removed it

    ASSERT_TRUE(removed);
    EXPECT_EQ(client.count("removal"), 1);
    EXPECT_EQ(ctrl.m_bConnected, 0);
    EXPECT_GE(sent.load(), 3);
    EXPECT_GT(refused.load(), 0);
}

TEST_F(HidUmockdevTest, SimulatedQel720AnswersTheModeQuerySentFromAWorker)
{
    SimulatedQel720 device;
    Qel720UmockdevTransport transport(*testbed, device);
    ASSERT_NE(transport.id(), 0);
    added.push_back(transport.id());
    ASSERT_EQ(ctrl.initialize(&client, 1), 1);

    bool sent = false;
    std::thread([&] { sent = ctrl.sendData(makeReport({ 0xF0, 0x00 }).data(), 64); }).join();
    ASSERT_TRUE(sent);
    ASSERT_TRUE(pumpUntil([&] { return client.count("input") == 1; }));
    EXPECT_EQ(client.last().data, makeReport({ 0xF0, 0x80 }));
    const auto commands = device.commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0][1], 0x00);
}

} // namespace
