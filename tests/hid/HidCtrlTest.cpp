// The HID link: its cache table, what it relays to its one client and when, sendData, refusal,
// tear-down and sends racing removal, over the in-process fake device source.

#include "HidCtrl.h"
#include "HIDDeviceList.h"
#include "HidTestSupport.h"
#include "HidUtil.h"
#include "Qel720FakeTransport.h"

#include <FakeHidSource.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using hidtest::makeReport;
using hidtest::pumpFor;
using hidtest::pumpUntil;
using testsupport::FakeHidSource;

namespace
{

class HidCtrlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fake.install();
        client.ctrl = &ctrl;
    }
    void TearDown() override
    {
        ctrl.finalize();
        hidtest::resetHidGlobals();
    }

    std::vector<uint8_t> cachedData() const { return std::vector<uint8_t>(ctrl.m_data, ctrl.m_data + 64); }
    bool send(std::vector<uint8_t> report) { return ctrl.sendData(report.data(), report.size()); }

    // Leaves something in the cache so that clearing it shows.
    void dirtyCache()
    {
        std::fill(ctrl.m_data, ctrl.m_data + 64, 0x99);
        ctrl.m_dataLen = 33;
    }

    const std::vector<uint8_t> zeros = std::vector<uint8_t>(64, 0);
    FakeHidSource fake;
    HidCtrl ctrl;
    hidtest::RecordingHandler client;
};

TEST_F(HidCtrlTest, InitializeWaitsKeepingVersionAndLengthOrConnectsSilentlyToAPresentDevice)
{
    dirtyCache();
    ctrl.m_version = 7;
    EXPECT_EQ(ctrl.initialize(&client, 1), 0);
    EXPECT_EQ(ctrl.m_bConnected, 0);
    EXPECT_EQ(ctrl.m_version, 7);
    EXPECT_EQ(ctrl.m_dataLen, 33u);
    EXPECT_EQ(cachedData(), zeros);
    EXPECT_FALSE(send(makeReport({ 0xF0 })));
    ctrl.finalize();

    fake.addDevice(FakeHidSource::qel720(0x01100000, 0x0210));
    dirtyCache();
    EXPECT_EQ(ctrl.initialize(&client, 1), 1);
    EXPECT_EQ(ctrl.m_bConnected, 1);
    EXPECT_EQ(ctrl.m_version, 210);
    EXPECT_EQ(ctrl.m_dataLen, 64u);
    EXPECT_EQ(cachedData(), zeros);
    pumpFor(0.2); // the manager's announcement of the present device is refused
    EXPECT_TRUE(client.events.empty());
}

TEST_F(HidCtrlTest, RemovalThenReArrivalClearsTheCacheAndRefusesToSendInBetween)
{
    const auto first = fake.addDevice(FakeHidSource::qel720(0x01100000, 0x0210));
    ASSERT_EQ(ctrl.initialize(&client, 1), 1);
    fake.injectInputReport(first, makeReport({ 0xF0, 0x80 }, 0x42));
    ASSERT_TRUE(pumpUntil([&] { return client.count("input") == 1; }));

    fake.removeDevice(first);
    ASSERT_TRUE(pumpUntil([&] { return client.count("removal") == 1; }));
    EXPECT_EQ(client.last().connected, 0);
    EXPECT_EQ(client.last().dataLen, 0u);
    EXPECT_EQ(client.last().data, zeros);
    EXPECT_EQ(ctrl.m_version, 0);
    EXPECT_FALSE(send(makeReport({ 0xF0, 0x00 })));
    EXPECT_TRUE(fake.writtenReports(first).empty());

    const auto second = fake.addDevice(FakeHidSource::qel720(0x01100000, 0x0211));
    ASSERT_TRUE(pumpUntil([&] { return client.count("matching") == 1; }));
    EXPECT_EQ(client.last().connected, 1);
    EXPECT_EQ(client.last().dataLen, 0u); // the new device's report buffer starts empty
    EXPECT_EQ(ctrl.m_version, 211);
    EXPECT_TRUE(send(makeReport({ 0xF0, 0x00 })));
    EXPECT_EQ(fake.writtenReports(second).size(), 1u);
    EXPECT_EQ(client.events.size(), 3u);
}

TEST_F(HidCtrlTest, CacheTakesOnlyRelayedReportsAndOnlyTheirLength)
{
    const auto key = fake.addDevice(FakeHidSource::qel720(0x01100000));
    ASSERT_EQ(ctrl.initialize(&client, 1), 1);
    const auto reply = makeReport({ 0xF0, 0x82, 0x20, 0x24, 0x01, 0x15, 0x00, '1', '.', '0', '2' }, 0xAA);
    fake.injectInputReport(key, reply);
    ASSERT_TRUE(pumpUntil([&] { return client.count("input") == 1; }));
    EXPECT_EQ(client.last().argument, 0);
    EXPECT_EQ(client.last().dataLen, 64u); // copied before the client is called
    EXPECT_EQ(client.last().data, reply);

    fake.injectInputReport(key, makeReport({ 0x12, 0x80 }, 0x34)); // below F0: not for the link
    fake.injectInputReport(key, makeReport({ 0xF2, 0x85 }, 0xBB, 10));
    fake.injectInputReport(key, {});
    ASSERT_TRUE(pumpUntil([&] { return client.count("input") == 2; }));
    pumpFor(0.2);
    EXPECT_EQ(client.count("input"), 2);
    auto expected = makeReport({ 0xF2, 0x85 }, 0xBB, 10);
    expected.insert(expected.end(), reply.begin() + 10, reply.end());
    EXPECT_EQ(ctrl.m_dataLen, 10u);
    EXPECT_EQ(cachedData(), expected);
}

TEST_F(HidCtrlTest, RefusedLinkHoldsNothingAndTheActiveOneKeepsWorking)
{
    const auto expectRefused = [](int deviceType)
    {
        hidtest::RecordingHandler otherClient;
        HidCtrl refused;
        EXPECT_EQ(refused.initialize(&otherClient, deviceType), 0) << deviceType;
        EXPECT_EQ(refused.m_pHandler, nullptr) << deviceType;
        EXPECT_EQ(refused.m_pHidUtil, nullptr) << deviceType;
        EXPECT_FALSE(refused.sendData(makeReport({ 0xF0 }).data(), 64)) << deviceType;
    }; // the refused link is destroyed on return
    for (int type : { -1, 2, 1000 })
        expectRefused(type);
    EXPECT_EQ(HidUtil::m_pinstance, nullptr);
    EXPECT_EQ(gIOHIDManagerRef, nullptr);

    ASSERT_EQ(ctrl.initialize(&client, 1), 0);
    const IOHIDManagerRef manager = gIOHIDManagerRef;
    expectRefused(1);
    EXPECT_EQ(HidUtil::m_pinstance, ctrl.m_pHidUtil);
    EXPECT_EQ(gIOHIDManagerRef, manager);
    const auto key = fake.addDevice(FakeHidSource::qel720(0x01100000));
    ASSERT_TRUE(pumpUntil([&] { return client.count("matching") == 1; }));
    EXPECT_TRUE(send(makeReport({ 0xF0 })));
    EXPECT_EQ(fake.writtenReports(key).size(), 1u);
}

TEST_F(HidCtrlTest, FinalizeEndsEventsKeepsTheCacheAndCanBeRepeated)
{
    const auto key = fake.addDevice(FakeHidSource::qel720(0x01100000, 0x0300));
    ASSERT_EQ(ctrl.initialize(&client, 1), 1);
    ctrl.finalize();
    EXPECT_EQ(HidUtil::m_pinstance, nullptr);
    EXPECT_EQ(gDeviceCFArrayRef, nullptr);
    EXPECT_EQ(gIOHIDManagerRef, nullptr);
    EXPECT_EQ(ctrl.m_bConnected, 1);
    EXPECT_EQ(ctrl.m_version, 300);
    EXPECT_EQ(ctrl.m_dataLen, 64u);
    EXPECT_FALSE(send(makeReport({ 0xF0 })));

    fake.injectInputReport(key, makeReport({ 0xF0 }));
    fake.removeDevice(key);
    const auto next = fake.addDevice(FakeHidSource::qel720(0x01200000));
    pumpFor(0.2);
    EXPECT_TRUE(client.events.empty());
    ctrl.finalize();
    ASSERT_EQ(ctrl.initialize(&client, 1), 1); // a fresh manager finds the device again
    EXPECT_TRUE(send(makeReport({ 0xF0 })));
    EXPECT_EQ(fake.writtenReports(next).size(), 1u);
}

// sendData on a worker thread while the message thread releases and retakes the device: no use
// of a released device, no torn report, and every success is exactly one report on the wire.
// Run hid_tests under ThreadSanitizer or AddressSanitizer to see the guard hold.
TEST_F(HidCtrlTest, WorkerSendsRacingRemovalAndReArrivalNeverUseAReleasedDevice)
{
    constexpr int kCycles = 300;
    // Every byte derives from the first, so a torn or mixed write shows.
    const auto numbered = [](uint8_t base)
    {
        std::vector<uint8_t> report(64);
        for (size_t i = 0; i < report.size(); ++i)
            report[i] = i == 0 ? 0xF0 : (uint8_t)(base + i);
        return report;
    };
    std::vector<std::string> keys{ fake.addDevice(FakeHidSource::qel720(0x01100000)) };
    ASSERT_EQ(ctrl.initialize(&client, 1), 1);

    std::atomic<bool> stop{ false };
    std::atomic<long> successes{ 0 }, failures{ 0 };
    std::thread worker(
        [&]
        {
            for (uint32_t sequence = 0; !stop; ++sequence)
                ++(send(numbered((uint8_t)(sequence * 7))) ? successes : failures);
        });
    for (int cycle = 1; cycle <= kCycles; ++cycle)
    {
        fake.removeDevice(keys.back());
        ASSERT_TRUE(pumpUntil([&] { return client.count("removal") == cycle; })) << cycle;
        keys.push_back(fake.addDevice(FakeHidSource::qel720(0x01100000)));
        ASSERT_TRUE(pumpUntil([&] { return client.count("matching") == cycle; })) << cycle;
        const long before = successes; // let a send land on each device
        for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
             successes == before && std::chrono::steady_clock::now() < end;)
            std::this_thread::yield();
    }
    stop = true;
    worker.join();
    ctrl.finalize();

    long written = 0;
    for (auto& key : keys)
        for (auto& report : fake.writtenReports(key))
        {
            auto expected = numbered(report.size() > 2 ? (uint8_t)(report[2] - 1) : 0);
            expected.insert(expected.begin(), 0x00); // report ID
            EXPECT_EQ(report, expected) << "report " << written;
            ++written;
        }
    EXPECT_EQ(written, successes.load());
    EXPECT_GT(successes.load(), 0);
    EXPECT_GT(failures.load(), 0);
    std::printf("%d cycles: %ld reports sent, %ld refused\n", kCycles, successes.load(), failures.load());
}

// The simulated QEL-720 behind the fake source; commands go out from a worker thread, as the
// update worker sends them, and replies arrive on the run-loop thread.
TEST_F(HidCtrlTest, SimulatedQel720AnswersAWorkerAndCanVanishInsteadOfAnswering)
{
    SimulatedQel720 device;
    device.addFault({ 0x00, 2, SimulatedQel720::FaultKind::Remove });
    Qel720FakeTransport transport(fake, device);
    ASSERT_EQ(ctrl.initialize(&client, 1), 1);
    const auto sendFromWorker = [this](const std::vector<uint8_t>& report)
    {
        bool sent = false;
        std::thread([&] { sent = send(report); }).join();
        return sent;
    };

    const auto query = makeReport({ 0xF0, 0x00 });
    ASSERT_TRUE(sendFromWorker(query));
    ASSERT_TRUE(pumpUntil([&] { return client.count("input") == 1; }));
    EXPECT_EQ(client.last().data, makeReport({ 0xF0, 0x80 }));
    const auto commands = device.commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(commands[0].begin(), commands[0].end()), query);

    sendFromWorker(query);
    ASSERT_TRUE(pumpUntil([&] { return client.count("removal") == 1; }));
    EXPECT_EQ(client.count("input"), 1);
    EXPECT_FALSE(sendFromWorker(query));
}

} // namespace
