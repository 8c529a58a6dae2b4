// The simulated QEL-720 behind the in-process fake source, driven through HidCtrl as the
// program drives it: commands from a worker thread, replies on the run-loop thread.

#include "HidCtrl.h"
#include "HidTestSupport.h"
#include "Qel720FakeTransport.h"

#include <gtest/gtest.h>

#include <thread>

using hidtest::makeReport;
using hidtest::pumpUntil;

namespace
{

class Qel720FakeEndToEndTest : public ::testing::Test
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

    // Sends from a worker thread, as the update worker does.
    bool sendFromWorker (std::vector<uint8_t> report)
    {
        bool sent = false;
        std::thread worker ([&] { sent = ctrl.sendData (report.data(), report.size()); });
        worker.join();
        return sent;
    }

    testsupport::FakeHidSource fake;
    SimulatedQel720 device;
    HidCtrl ctrl;
    hidtest::RecordingHandler client;
};

TEST_F (Qel720FakeEndToEndTest, ModeQueryIsAnsweredWithAccepted)
{
    Qel720FakeTransport transport (fake, device);
    ASSERT_EQ (ctrl.initialize (&client, 1), 1);

    const auto query = makeReport ({ 0xF0, 0x00 });
    ASSERT_TRUE (sendFromWorker (query));
    ASSERT_TRUE (pumpUntil ([&] { return client.count ("input") == 1; }));
    EXPECT_EQ (client.last().dataLen, 64u);
    EXPECT_EQ (client.last().data, makeReport ({ 0xF0, 0x80 }));
    const auto commands = device.commands();
    ASSERT_EQ (commands.size(), 1u);
    EXPECT_EQ (std::vector<uint8_t> (commands[0].begin(), commands[0].end()), query);
}

TEST_F (Qel720FakeEndToEndTest, VersionQueryCarriesDateAndVersionText)
{
    device.setVersion (0x20240115, "1.02");
    Qel720FakeTransport transport (fake, device);
    ASSERT_EQ (ctrl.initialize (&client, 1), 1);

    ASSERT_TRUE (sendFromWorker (makeReport ({ 0xF0, 0x01 })));
    ASSERT_TRUE (pumpUntil ([&] { return client.count ("input") == 1; }));
    EXPECT_EQ (client.last().data, makeReport ({ 0xF0, 0x82, 0x20, 0x24, 0x01, 0x15, 0x00, '1', '.', '0', '2' }));
}

TEST_F (Qel720FakeEndToEndTest, DeviceThatVanishesInsteadOfAnsweringEndsInRemoval)
{
    device.addFault ({ 0x00, 1, SimulatedQel720::FaultKind::Remove });
    Qel720FakeTransport transport (fake, device);
    ASSERT_EQ (ctrl.initialize (&client, 1), 1);

    sendFromWorker (makeReport ({ 0xF0, 0x00 }));
    ASSERT_TRUE (pumpUntil ([&] { return client.count ("removal") == 1; }));
    EXPECT_EQ (client.count ("input"), 0);
    EXPECT_EQ (ctrl.m_bConnected, 0);
    EXPECT_FALSE (sendFromWorker (makeReport ({ 0xF0, 0x00 })));
}

} // namespace
