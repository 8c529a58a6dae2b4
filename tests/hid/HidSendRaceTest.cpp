// sendData on a worker thread while the message thread releases and retakes the device: no use
// of a released device, no torn report, and every success is exactly one report on the wire.
// Run this binary under ThreadSanitizer or AddressSanitizer to see the guard hold.

#include "HidCtrl.h"
#include "HidTestSupport.h"

#include <FakeHidSource.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using hidtest::pumpUntil;
using testsupport::FakeHidSource;

namespace
{

// A report whose bytes all derive from its sequence number, so a torn or mixed write shows.
std::vector<uint8_t> numberedReport (uint32_t sequence)
{
    std::vector<uint8_t> report (64);
    report[0] = 0xF0;
    for (size_t i = 1; i < report.size(); ++i)
        report[i] = (uint8_t) (sequence * 7 + i);
    return report;
}

bool isNumberedReport (const std::vector<uint8_t>& written)
{
    if (written.size() != 65 || written[0] != 0x00 || written[1] != 0xF0)
        return false;
    const uint8_t base = (uint8_t) (written[2] - 1);
    for (size_t i = 1; i < 64; ++i)
        if (written[i + 1] != (uint8_t) (base + i))
            return false;
    return true;
}

class HidSendRaceTest : public ::testing::Test
{
protected:
    void SetUp() override { fake.install(); }
    void TearDown() override { hidtest::resetHidGlobals(); }

    FakeHidSource fake;
};

TEST_F (HidSendRaceTest, WorkerSendsRacingRemovalAndReArrivalNeverUseAReleasedDevice)
{
    constexpr int kCycles = 300;
    hidtest::RecordingHandler client;
    HidCtrl ctrl;
    std::vector<std::string> keys { fake.addDevice (FakeHidSource::qel720 (0x01100000)) };
    ASSERT_EQ (ctrl.initialize (&client, 1), 1);

    std::atomic<bool> stop { false };
    std::atomic<long> successes { 0 }, failures { 0 };
    std::thread worker ([&] {
        for (uint32_t sequence = 0; ! stop; ++sequence)
        {
            auto report = numberedReport (sequence);
            if (ctrl.sendData (report.data(), report.size()))
                ++successes;
            else
                ++failures;
        }
    });

    for (int cycle = 1; cycle <= kCycles; ++cycle)
    {
        fake.removeDevice (keys.back());
        ASSERT_TRUE (pumpUntil ([&] { return client.count ("removal") == cycle; })) << cycle;
        keys.push_back (fake.addDevice (FakeHidSource::qel720 (0x01100000)));
        ASSERT_TRUE (pumpUntil ([&] { return client.count ("matching") == cycle; })) << cycle;
    }
    stop = true;
    worker.join();
    ctrl.finalize();

    long written = 0;
    for (auto& key : keys)
    {
        for (auto& report : fake.writtenReports (key))
        {
            ++written;
            EXPECT_TRUE (isNumberedReport (report));
        }
    }
    EXPECT_EQ (written, successes.load());
    EXPECT_GT (successes.load(), 0);
    EXPECT_GT (failures.load(), 0);
    std::printf ("%d cycles: %ld reports sent, %ld refused\n", kCycles, successes.load(), failures.load());
}

} // namespace
