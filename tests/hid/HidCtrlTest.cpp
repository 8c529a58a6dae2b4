// The HID link: its cache table, what it relays to its one client and when, sendData, refusal
// and tear-down, over the in-process fake device source.

#include "HIDDeviceList.h"
#include "HidCtrl.h"
#include "HidTestSupport.h"
#include "HidUtil.h"

#include <FakeHidSource.h>

#include <gtest/gtest.h>

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

    std::vector<uint8_t> cachedData() const { return std::vector<uint8_t> (ctrl.m_data, ctrl.m_data + 64); }
    static std::vector<uint8_t> zeros() { return std::vector<uint8_t> (64, 0); }

    // Leaves something in the cache so that clearing it shows.
    void dirtyCache()
    {
        std::fill (ctrl.m_data, ctrl.m_data + 64, 0x99);
        ctrl.m_dataLen = 33;
    }

    FakeHidSource fake;
    HidCtrl ctrl;
    hidtest::RecordingHandler client;
};

TEST_F (HidCtrlTest, ConstructionZeroesEverything)
{
    EXPECT_EQ (ctrl.m_pHandler, nullptr);
    EXPECT_EQ (ctrl.m_pHidUtil, nullptr);
    EXPECT_EQ (ctrl.m_bConnected, 0);
    EXPECT_EQ (ctrl.m_version, 0);
    EXPECT_EQ (cachedData(), zeros());
    EXPECT_EQ (ctrl.m_dataLen, 0u);
}

TEST_F (HidCtrlTest, DevicePresentAtInitializeConnectsWithoutTellingTheClient)
{
    fake.addDevice (FakeHidSource::qel720 (0x01100000, 0x0210));
    dirtyCache();
    EXPECT_EQ (ctrl.initialize (&client, 1), 1);
    EXPECT_EQ (ctrl.m_pHandler, &client);
    EXPECT_NE (ctrl.m_pHidUtil, nullptr);
    EXPECT_EQ (ctrl.m_bConnected, 1);
    EXPECT_EQ (ctrl.m_version, 210);
    EXPECT_EQ (ctrl.m_dataLen, 64u);
    EXPECT_EQ (cachedData(), zeros());

    pumpFor (0.2); // the manager's announcement of the present device is refused
    EXPECT_TRUE (client.events.empty());
}

TEST_F (HidCtrlTest, DeviceAbsentAtInitializeWaitsAndKeepsVersionAndLength)
{
    dirtyCache();
    ctrl.m_version = 7;
    EXPECT_EQ (ctrl.initialize (&client, 1), 0);
    EXPECT_EQ (ctrl.m_bConnected, 0);
    EXPECT_EQ (ctrl.m_version, 7);
    EXPECT_EQ (ctrl.m_dataLen, 33u);
    EXPECT_EQ (cachedData(), zeros());
    auto report = makeReport ({ 0xF0 });
    EXPECT_FALSE (ctrl.sendData (report.data(), report.size()));
}

TEST_F (HidCtrlTest, LaterArrivalIsTakenAndTheClientSeesItConnected)
{
    ASSERT_EQ (ctrl.initialize (&client, 1), 0);
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000, 0x0123));
    ASSERT_TRUE (pumpUntil ([&] { return client.count ("matching") == 1; }));
    EXPECT_EQ (client.last().connected, 1);
    EXPECT_EQ (client.last().dataLen, 0u);
    EXPECT_EQ (ctrl.m_version, 123);

    auto report = makeReport ({ 0xF0, 0x00 });
    EXPECT_TRUE (ctrl.sendData (report.data(), report.size()));
    EXPECT_EQ (fake.writtenReports (key).size(), 1u);
}

TEST_F (HidCtrlTest, RemovalThenReArrivalClearsTheCacheAndRefusesToSendInBetween)
{
    const auto first = fake.addDevice (FakeHidSource::qel720 (0x01100000, 0x0210));
    ASSERT_EQ (ctrl.initialize (&client, 1), 1);
    fake.injectInputReport (first, makeReport ({ 0xF0, 0x80 }, 0x42));
    ASSERT_TRUE (pumpUntil ([&] { return client.count ("input") == 1; }));

    fake.removeDevice (first);
    ASSERT_TRUE (pumpUntil ([&] { return client.count ("removal") == 1; }));
    EXPECT_EQ (client.last().connected, 0);
    EXPECT_EQ (client.last().dataLen, 0u);
    EXPECT_EQ (client.last().data, zeros());
    EXPECT_EQ (ctrl.m_version, 0);

    auto report = makeReport ({ 0xF0, 0x00 });
    EXPECT_FALSE (ctrl.sendData (report.data(), report.size()));
    EXPECT_TRUE (fake.writtenReports (first).empty());

    const auto second = fake.addDevice (FakeHidSource::qel720 (0x01100000, 0x0211));
    ASSERT_TRUE (pumpUntil ([&] { return client.count ("matching") == 1; }));
    EXPECT_EQ (client.last().connected, 1);
    EXPECT_EQ (ctrl.m_version, 211);
    EXPECT_TRUE (ctrl.sendData (report.data(), report.size()));
    EXPECT_EQ (fake.writtenReports (second).size(), 1u);

    const std::vector<std::string> expected { "input", "removal", "matching" };
    ASSERT_EQ (client.events.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ (client.events[i].kind, expected[i]);
}

TEST_F (HidCtrlTest, InputFromF0OnIsCopiedBeforeTheClientIsCalledWithZero)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_EQ (ctrl.initialize (&client, 1), 1);
    const auto reply = makeReport ({ 0xF0, 0x82, 0x20, 0x24, 0x01, 0x15, 0x00, '1', '.', '0', '2' });
    fake.injectInputReport (key, reply);
    ASSERT_TRUE (pumpUntil ([&] { return client.count ("input") == 1; }));
    EXPECT_EQ (client.last().argument, 0);
    EXPECT_EQ (client.last().dataLen, 64u);
    EXPECT_EQ (client.last().data, reply);
}

TEST_F (HidCtrlTest, InputBelowF0ReachesNeitherTheLinkNorTheClient)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_EQ (ctrl.initialize (&client, 1), 1);
    fake.injectInputReport (key, makeReport ({ 0x12, 0x80 }, 0x34));
    pumpFor (0.2);
    EXPECT_TRUE (client.events.empty());
    EXPECT_EQ (cachedData(), zeros());
    EXPECT_EQ (ctrl.m_dataLen, 64u);
}

TEST_F (HidCtrlTest, LaterReportOverwritesOnlyItsOwnLengthOfTheCache)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_EQ (ctrl.initialize (&client, 1), 1);
    fake.injectInputReport (key, makeReport ({ 0xF0, 0x80 }, 0xAA));
    fake.injectInputReport (key, makeReport ({ 0xF2, 0x85 }, 0xBB, 10));
    ASSERT_TRUE (pumpUntil ([&] { return client.count ("input") == 2; }));

    auto expected = makeReport ({ 0xF2, 0x85 }, 0xBB, 10);
    const auto tail = makeReport ({}, 0xAA, 54);
    expected.insert (expected.end(), tail.begin(), tail.end());
    EXPECT_EQ (ctrl.m_dataLen, 10u);
    EXPECT_EQ (cachedData(), expected);
}

TEST_F (HidCtrlTest, ZeroLengthInputIsNotRelayed)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_EQ (ctrl.initialize (&client, 1), 1);
    fake.injectInputReport (key, makeReport ({ 0xF0, 0x80 }, 0x01));
    ASSERT_TRUE (pumpUntil ([&] { return client.count ("input") == 1; }));
    fake.injectInputReport (key, {});
    pumpFor (0.2);
    EXPECT_EQ (client.count ("input"), 1);
    EXPECT_EQ (ctrl.m_dataLen, 64u);
    EXPECT_EQ (cachedData(), makeReport ({ 0xF0, 0x80 }, 0x01));
}

TEST_F (HidCtrlTest, SendDataPassesTheBytesAndThePlatformResult)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_EQ (ctrl.initialize (&client, 1), 1);
    auto report = makeReport ({ 0xF3, 0x03 }, 0x61);
    EXPECT_TRUE (ctrl.sendData (report.data(), report.size()));
    const auto written = fake.writtenReports (key);
    ASSERT_EQ (written.size(), 1u);
    EXPECT_EQ (written[0][0], 0x00);
    EXPECT_EQ (std::vector<uint8_t> (written[0].begin() + 1, written[0].end()), report);

    EXPECT_FALSE (ctrl.sendData (nullptr, 64));
    EXPECT_FALSE (ctrl.sendData (report.data(), 0));
    fake.setWriteFails (key, true);
    EXPECT_FALSE (ctrl.sendData (report.data(), report.size()));
    EXPECT_EQ (fake.writtenReports (key).size(), 1u);
    EXPECT_EQ (ctrl.m_bConnected, 1);
}

TEST_F (HidCtrlTest, SecondLinkIsRefusedAndTheFirstKeepsWorking)
{
    ASSERT_EQ (ctrl.initialize (&client, 1), 0);
    {
        hidtest::RecordingHandler otherClient;
        HidCtrl second;
        EXPECT_EQ (second.initialize (&otherClient, 1), 0);
        EXPECT_EQ (second.m_pHandler, nullptr);
        EXPECT_EQ (second.m_pHidUtil, nullptr);
        EXPECT_EQ (second.m_bConnected, 0);
    }
    EXPECT_EQ (HidUtil::m_pinstance, ctrl.m_pHidUtil);

    fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (pumpUntil ([&] { return client.count ("matching") == 1; }));
    EXPECT_EQ (ctrl.m_bConnected, 1);
}

TEST_F (HidCtrlTest, UnknownDeviceTypeIsRefused)
{
    fake.addDevice (FakeHidSource::qel720 (0x01100000));
    EXPECT_EQ (ctrl.initialize (&client, 2), 0);
    EXPECT_EQ (ctrl.m_pHandler, nullptr);
    EXPECT_EQ (ctrl.m_pHidUtil, nullptr);
    EXPECT_EQ (HidUtil::m_pinstance, nullptr);
    auto report = makeReport ({ 0xF0 });
    EXPECT_FALSE (ctrl.sendData (report.data(), report.size()));
}

TEST_F (HidCtrlTest, FinalizeEndsEventsKeepsTheCacheAndCanBeRepeated)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000, 0x0300));
    ASSERT_EQ (ctrl.initialize (&client, 1), 1);
    ctrl.finalize();
    EXPECT_EQ (ctrl.m_pHandler, nullptr);
    EXPECT_EQ (ctrl.m_pHidUtil, nullptr);
    EXPECT_EQ (HidUtil::m_pinstance, nullptr);
    EXPECT_EQ (gIOHIDManagerRef, nullptr);
    EXPECT_EQ (ctrl.m_bConnected, 1);
    EXPECT_EQ (ctrl.m_version, 300);
    EXPECT_EQ (ctrl.m_dataLen, 64u);
    auto report = makeReport ({ 0xF0 });
    EXPECT_FALSE (ctrl.sendData (report.data(), report.size()));
    EXPECT_TRUE (fake.writtenReports (key).empty());

    fake.injectInputReport (key, makeReport ({ 0xF0 }));
    fake.removeDevice (key);
    fake.addDevice (FakeHidSource::qel720 (0x01200000));
    pumpFor (0.2);
    EXPECT_TRUE (client.events.empty());
    ctrl.finalize();
    EXPECT_EQ (ctrl.m_pHidUtil, nullptr);
}

TEST_F (HidCtrlTest, DestructorAfterFinalizeAndANewLinkFindsTheDeviceAgain)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    {
        hidtest::RecordingHandler firstClient;
        auto* first = new HidCtrl();
        ASSERT_EQ (first->initialize (&firstClient, 1), 1);
        first->finalize();
        delete static_cast<HidHandler*> (first);
    }
    ASSERT_EQ (ctrl.initialize (&client, 1), 1);
    auto report = makeReport ({ 0xF0 });
    EXPECT_TRUE (ctrl.sendData (report.data(), report.size()));
    EXPECT_EQ (fake.writtenReports (key).size(), 1u);
}

} // namespace
