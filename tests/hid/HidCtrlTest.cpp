// The HID link and the holder under it: which device is taken, the cache table, what is relayed to
// the one client and when, sendData, tear-down (also from inside a callback and under a sending
// worker), the device objects' life and failures under it, and the simulated QEL-720, over the
// fake device source.

#include "HidCtrl.h"
#include "CFObject.h"
#include "HIDDeviceList.h"
#include "HidUtil.h"
#include "SimulatedQel720.h"

#include <FakeHidSource.h>
#include <HidTestKit.h>
#include <RecordingHandler.h>
#include <ScopedThread.h>

#include <gtest/gtest.h>

#include <future>

using testsupport::FakeHidSource;
using testsupport::makeReport;
using testsupport::pumpFor;
using testsupport::pumpUntil;

namespace
{
long retainCount(CFTypeRef object) { return platform::asObject(object)->retainCount(); }

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
        testsupport::resetHidGlobals();
    }

    std::vector<uint8_t> cachedData() const { return std::vector<uint8_t>(ctrl.m_data, ctrl.m_data + 64); }
    bool send(std::vector<uint8_t> report) { return ctrl.sendData(report.data(), report.size()); }
    // As the update worker sends: from a thread of its own.
    bool sendFromWorker(const std::vector<uint8_t>& report)
    {
        bool sent = false;
        testsupport::ScopedThread([&] { sent = send(report); }).join();
        return sent;
    }

    static platform::HidDeviceDescription device(uint32_t vendor, uint32_t product, uint32_t location)
    {
        auto description = FakeHidSource::qel720(location);
        description.vendorID = vendor;
        description.productID = product;
        return description;
    }

    // Leaves something in the cache so that clearing it shows.
    void dirtyCache()
    {
        std::fill(ctrl.m_data, ctrl.m_data + 64, 0x99);
        ctrl.m_dataLen = 33;
    }

    const std::vector<uint8_t> zeros = std::vector<uint8_t>(64, 0);
    FakeHidSource fake;
    HidCtrl ctrl;
    testsupport::RecordingHandler client;
};

TEST_F(HidCtrlTest, APresentDeviceOfTheLowestMatchingLocationIsTakenSilently)
{
    fake.addDevice(device(0x3A91, 0x0A6E, 0x01000000));
    fake.addDevice(device(0x3A92, 0x0A6D, 0x01050000));
    const auto high = fake.addDevice(FakeHidSource::qel720(0x01200000, 0x0210));
    const auto low = fake.addDevice(FakeHidSource::qel720(0x01100000, 0x0123));
    dirtyCache();
    EXPECT_EQ(ctrl.initialize(&client, 1), 1);
    EXPECT_EQ(ctrl.m_bConnected, 1);
    EXPECT_EQ(ctrl.m_version, 123);
    EXPECT_EQ(ctrl.m_dataLen, 64u);
    EXPECT_EQ(cachedData(), zeros);
    pumpFor(0.2); // the manager's announcements of the present devices are all refused
    EXPECT_TRUE(client.events.empty());

    const auto report = makeReport({ 0xF1, 0x08, 0x00, 0x00, 0x1D }, 0x3C);
    EXPECT_TRUE(send(report));
    auto expected = report;
    expected.insert(expected.begin(), 0x00); // report ID 0 first
    EXPECT_EQ(fake.writtenReports(low), std::vector<std::vector<uint8_t>>{ expected });
    EXPECT_TRUE(fake.writtenReports(high).empty());
}

TEST_F(HidCtrlTest, WithoutADeviceInitializeWaitsAndTakesOnlyTheRightVendorAndProductLater)
{
    dirtyCache();
    ctrl.m_version = 7;
    EXPECT_EQ(ctrl.initialize(&client, 1), 0);
    EXPECT_EQ(ctrl.m_bConnected, 0);
    EXPECT_EQ(ctrl.m_version, 7);
    EXPECT_EQ(ctrl.m_dataLen, 33u);
    EXPECT_EQ(cachedData(), zeros);
    EXPECT_FALSE(send(makeReport({ 0xF0 })));

    fake.addDevice(device(0x3A91, 0x0A6E, 0x01100000));
    fake.addDevice(device(0x0000, 0x0A6D, 0x01200000));
    pumpFor(0.2);
    EXPECT_TRUE(client.events.empty());
    fake.addDevice(FakeHidSource::qel720(0x01300000, 0x0210));
    ASSERT_TRUE(pumpUntil([&] { return client.count("matching") == 1; }));
    EXPECT_EQ(client.last().connected, 1);
    EXPECT_EQ(client.last().dataLen, 0u); // the new device's report buffer starts empty
    EXPECT_EQ(ctrl.m_version, 210);
    pumpFor(0.1);
    EXPECT_EQ(client.events.size(), 1u);
}

TEST_F(HidCtrlTest, AReplugSeenInOneGoIsRemovalThenArrivalAndADeviceThatCameMeanwhileIsNotTaken)
{
    const auto first = fake.addDevice(FakeHidSource::qel720(0x01100000, 0x0210));
    ASSERT_EQ(ctrl.initialize(&client, 1), 1);
    const auto meanwhile = fake.addDevice(FakeHidSource::qel720(0x01200000)); // ignored while holding
    fake.injectInputReport(first, makeReport({ 0xF0, 0x80 }, 0x42));
    ASSERT_TRUE(pumpUntil([&] { return client.count("input") == 1; }));

    bool sentBetween = true;
    client.onEvent = [&](const testsupport::RecordingHandler::Event& event)
    {
        if (event.kind == "removal")
            sentBetween = send(makeReport({ 0xF0, 0x00 }));
    };
    fake.removeDevice(first); // both reach the manager before it looks
    const auto second = fake.addDevice(FakeHidSource::qel720(0x01300000, 0x0211));
    ASSERT_TRUE(pumpUntil([&] { return client.events.size() == 3; }));
    EXPECT_EQ(client.events[1].kind, "removal");
    EXPECT_EQ(client.events[1].connected, 0);
    EXPECT_EQ(client.events[1].dataLen, 0u);
    EXPECT_EQ(client.events[1].data, zeros);
    EXPECT_FALSE(sentBetween) << "the holder let go of the device before telling";
    EXPECT_EQ(client.last().kind, "matching");
    EXPECT_EQ(client.last().connected, 1);
    EXPECT_EQ(ctrl.m_version, 211);
    EXPECT_TRUE(send(makeReport({ 0xF0, 0x00 })));
    EXPECT_EQ(fake.writtenReports(second).size(), 1u);
    EXPECT_TRUE(fake.writtenReports(meanwhile).empty());
}

TEST_F(HidCtrlTest, CacheTakesOnlyRelayedReportsAndOnlyTheirLength)
{
    const auto key = fake.addDevice(FakeHidSource::qel720(0x01100000));
    ASSERT_EQ(ctrl.initialize(&client, 1), 1);
    const auto reply = makeReport({ 0xF0, 0x82, 0x20, 0x24, 0x01, 0x15, 0x00, '1', '.', '0', '2' }, 0xAA);
    fake.injectInputReport(key, reply);
    ASSERT_TRUE(pumpUntil([&] { return client.count("input") == 1; }));
    EXPECT_EQ(client.last().dataLen, 64u); // copied before the client is called
    EXPECT_EQ(client.last().data, reply);

    fake.injectInputReport(key, makeReport({ 0xF1, 0x80 }, 0x77, 100)); // cut to the 64 bytes there are
    ASSERT_TRUE(pumpUntil([&] { return client.count("input") == 2; }));
    EXPECT_EQ(client.last().dataLen, 64u);
    EXPECT_EQ(client.last().data, makeReport({ 0xF1, 0x80 }, 0x77));

    fake.injectInputReport(key, makeReport({ 0x12, 0x80 }, 0x34)); // below F0: not for the link
    fake.injectInputReport(key, makeReport({ 0xF2, 0x85 }, 0xBB, 10));
    fake.injectInputReport(key, {});
    ASSERT_TRUE(pumpUntil([&] { return client.count("input") == 3; }));
    pumpFor(0.2);
    EXPECT_EQ(client.count("input"), 3);
    auto expected = makeReport({ 0xF2, 0x85 }, 0xBB, 10);
    const auto before = makeReport({ 0xF1, 0x80 }, 0x77);
    expected.insert(expected.end(), before.begin() + 10, before.end());
    EXPECT_EQ(ctrl.m_dataLen, 10u);
    EXPECT_EQ(cachedData(), expected);
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

TEST_F(HidCtrlTest, AClientMayFinalizeTheLinkInsideTheMatchingCallback)
{
    ASSERT_EQ(ctrl.initialize(&client, 1), 0);
    client.onEvent = [&](const testsupport::RecordingHandler::Event&) { ctrl.finalize(); };
    fake.addDevice(FakeHidSource::qel720(0x01100000));
    fake.addDevice(FakeHidSource::qel720(0x01200000)); // announced in the same go, after the finalize
    ASSERT_TRUE(pumpUntil([&] { return client.count("matching") == 1; }));
    pumpFor(0.1);
    EXPECT_EQ(client.events.size(), 1u);
    EXPECT_EQ(ctrl.m_pHidUtil, nullptr);
    EXPECT_EQ(gIOHIDManagerRef, nullptr);
}

TEST_F(HidCtrlTest, SimulatedQel720AnswersAWorkerSpeaksUnaskedAndCanVanishInsteadOfAnswering)
{
    SimulatedQel720 device;
    device.addFault({ 0x00, 2, SimulatedQel720::FaultKind::Remove });
    device.attach(fake);
    ASSERT_EQ(ctrl.initialize(&client, 1), 1);

    const auto query = makeReport({ 0xF0, 0x00 });
    ASSERT_TRUE(sendFromWorker(query));
    ASSERT_TRUE(pumpUntil([&] { return client.count("input") == 1; }));
    EXPECT_EQ(client.last().data, makeReport({ 0xF0, 0x80 }));
    const auto commands = device.commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(commands[0].begin(), commands[0].end()), query);

    device.injectReport(SimulatedQel720::Report{ 0xF0, 0x83 });
    ASSERT_TRUE(pumpUntil([&] { return client.count("input") == 2; }));
    EXPECT_EQ(client.last().data, makeReport({ 0xF0, 0x83 }));

    sendFromWorker(query);
    ASSERT_TRUE(pumpUntil([&] { return client.count("removal") == 1; }));
    EXPECT_EQ(client.count("input"), 2);
    EXPECT_FALSE(sendFromWorker(query));
}

TEST_F(HidCtrlTest, ARemovedDeviceIsLetGoOnceItsRemovalIsDeliveredAndFailsSendsWhileStillHeld)
{
    const auto key = fake.addDevice(FakeHidSource::qel720(0x01100000));
    ASSERT_EQ(ctrl.initialize(&client, 1), 1);
    IOHIDDeviceRef device = HIDGetFirstDevice();
    CFRetain(device); // a sender's reference
    fake.removeDevice(key);
    ASSERT_TRUE(pumpUntil([&] { return client.count("removal") == 1; }));
    EXPECT_EQ(retainCount(device), 2) << "only ours and the device list's should be left";
    const auto report = makeReport({ 0xF0 });
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, report.data(), 64), kIOReturnNotAttached);
    EXPECT_EQ(IOHIDDevice_GetVendorID(device), 0x3A91);
    CFRelease(device);
}

TEST_F(HidCtrlTest, FinalizingWhileAWorkerSendsKeepsTheDeviceUntilTheSendEnds)
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
    ASSERT_EQ(ctrl.initialize(&client, 1), 1);
    pumpFor(0.05); // the manager's announcement, which holds it while waiting, has run
    // A property of the device lives exactly as long as the device object.
    CFTypeRef vendor = CFRetain(IOHIDDeviceGetProperty(HIDGetFirstDevice(), CFSTR(kIOHIDVendorIDKey)));

    bool sent = false;
    testsupport::ScopedThread worker([&] { sent = send(makeReport({ 0xF0, 0x01 })); }, [&] { letGo.set_value(); });
    writing.get_future().wait_for(std::chrono::seconds(5));
    ctrl.finalize(); // while the worker is inside the write
    const long duringTheSend = retainCount(vendor);
    worker.join();
    EXPECT_EQ(duringTheSend, 2) << "the device went while the worker was sending on it";
    EXPECT_TRUE(sent);
    EXPECT_EQ(retainCount(vendor), 1) << "the sender kept the device after its send";
    CFRelease(vendor);
}

TEST_F(HidCtrlTest, ADeviceWhoseNodeCannotBeWatchedIsReportedRemovedRightAway)
{
    const auto key = fake.addDevice(FakeHidSource::qel720(0x01100000));
    fake.setUnwatchable(key);
    testing::internal::CaptureStderr();
    const int connected = ctrl.initialize(&client, 1);
    const bool removed = pumpUntil([&] { return client.count("removal") == 1; });
    const std::string diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_EQ(connected, 1);
    EXPECT_TRUE(removed) << "it could never have reported input or its removal";
    EXPECT_NE(diagnostics.find("cannot watch"), std::string::npos) << diagnostics;
}

TEST_F(HidCtrlTest, ANodeThatCannotBeOpenedIsReportedOnceWithTheRuleToInstallAndIsHeardOnceItOpens)
{
    auto description = FakeHidSource::qel720(0x01100000);
    description.nodePath = "/dev/hidraw7";
    const auto key = fake.addDevice(description);
    fake.setOpenError(key, "Permission denied");
    const auto report = makeReport({ 0xF0 });
    testing::internal::CaptureStderr();
    const int connected = ctrl.initialize(&client, 1);
    const bool sent = send(report) || send(report);
    const std::string diagnostics = testing::internal::GetCapturedStderr();
    EXPECT_EQ(connected, 1);
    EXPECT_FALSE(sent);
    for (auto* part : { "/dev/hidraw7", "Permission denied", "70-qel720.rules" })
        EXPECT_NE(diagnostics.find(part), std::string::npos) << part << " missing from " << diagnostics;
    EXPECT_EQ(diagnostics.find("/dev/hidraw7"), diagnostics.rfind("/dev/hidraw7")) << "reported more than once";

    fake.setOpenError(key, "");
    EXPECT_TRUE(send(report));
    fake.injectInputReport(key, makeReport({ 0xF0, 0x80 }));
    EXPECT_TRUE(pumpUntil([&] { return client.count("input") == 1; }));
}

} // namespace
