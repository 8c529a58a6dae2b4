// The device holder: which device it takes, its events, its report buffer and its version rule,
// over the in-process fake device source.

#include "HIDDeviceList.h"
#include "HidTestSupport.h"
#include "HidUtil.h"

#include <FakeHidSource.h>

#include <gtest/gtest.h>

#include <cstring>

using hidtest::makeReport;
using hidtest::pumpFor;
using hidtest::pumpUntil;
using testsupport::FakeHidSource;

namespace
{

class HidUtilTest : public ::testing::Test
{
protected:
    void SetUp() override { fake.install(); }
    void TearDown() override
    {
        holder.reset();
        hidtest::resetHidGlobals();
    }

    // Makes the holder active with device type 1 and looks for the device.
    bool start (int deviceType = 1)
    {
        holder = std::make_unique<HidUtil>();
        if (! holder->initialize (&handler, deviceType))
            return false;
        return holder->deviceMatching();
    }

    static platform::HidDeviceDescription device (uint32_t vendor, uint32_t product, uint32_t location)
    {
        platform::HidDeviceDescription d = FakeHidSource::qel720 (location);
        d.vendorID = vendor;
        d.productID = product;
        return d;
    }

    // What the holder sends reaches the device it holds; tells which one that is.
    bool holds (const std::string& key)
    {
        const size_t before = fake.writtenReports (key).size();
        auto report = makeReport ({ 0xF0, 0x00 });
        return holder->deviceOutput (report.data(), report.size()) && fake.writtenReports (key).size() == before + 1;
    }

    FakeHidSource fake;
    hidtest::RecordingHandler handler;
    std::unique_ptr<HidUtil> holder;
};

TEST_F (HidUtilTest, DevicePresentAtStartIsTakenWithoutAMatchingCallBack)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    EXPECT_TRUE (start());
    EXPECT_EQ (HidUtil::m_pinstance, holder.get());
    pumpFor (0.2); // the manager now announces the present devices: all refused
    EXPECT_TRUE (handler.events.empty());
    EXPECT_TRUE (holds (key));
}

TEST_F (HidUtilTest, LowestLocationIsTakenAmongSeveralMatchingDevices)
{
    const auto high = fake.addDevice (FakeHidSource::qel720 (0x01200000));
    const auto low = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    const auto other = fake.addDevice (device (0x1234, 0x0A6D, 0x01000000));
    ASSERT_TRUE (start());
    EXPECT_TRUE (holds (low));
    EXPECT_TRUE (fake.writtenReports (high).empty());
    EXPECT_TRUE (fake.writtenReports (other).empty());
}

TEST_F (HidUtilTest, WrongVendorOrProductIsNeverTaken)
{
    fake.addDevice (device (0x3A91, 0x0A6E, 0x01100000));
    fake.addDevice (device (0x3A92, 0x0A6D, 0x01200000));
    EXPECT_FALSE (start());
    fake.addDevice (device (0x3A91, 0x0000, 0x01300000));
    fake.addDevice (device (0x0000, 0x0A6D, 0x01400000));
    pumpFor (0.2);
    EXPECT_TRUE (handler.events.empty());
    EXPECT_EQ (holder->deviceVersion(), 0);

    const auto right = fake.addDevice (FakeHidSource::qel720 (0x01500000));
    ASSERT_TRUE (pumpUntil ([&] { return handler.count ("matching") == 1; }));
    EXPECT_TRUE (holds (right));
}

TEST_F (HidUtilTest, DeviceTypeZeroSelectsProductIdZero)
{
    fake.addDevice (FakeHidSource::qel720 (0x01100000));
    const auto zero = fake.addDevice (device (0x3A91, 0x0000, 0x01200000));
    ASSERT_TRUE (start (0));
    EXPECT_TRUE (holds (zero));
}

TEST_F (HidUtilTest, DeviceTypeOutsideTheTableIsRefused)
{
    fake.addDevice (FakeHidSource::qel720 (0x01100000));
    for (int type : { -1, 2, 1000 })
    {
        HidUtil refused;
        EXPECT_FALSE (refused.initialize (&handler, type)) << type;
        EXPECT_EQ (HidUtil::m_pinstance, nullptr);
        EXPECT_EQ (gIOHIDManagerRef, nullptr);
    }
}

TEST_F (HidUtilTest, SecondHolderIsRefusedAndLeavesTheActiveOneWorking)
{
    ASSERT_FALSE (start());
    IOHIDManagerRef manager = gIOHIDManagerRef;
    {
        hidtest::RecordingHandler otherHandler;
        HidUtil second;
        EXPECT_FALSE (second.initialize (&otherHandler, 1));
        EXPECT_FALSE (holder->initialize (&otherHandler, 1));
        second.finalize();
    } // the refused holder is destroyed here
    EXPECT_EQ (HidUtil::m_pinstance, holder.get());
    EXPECT_EQ (gIOHIDManagerRef, manager);

    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (pumpUntil ([&] { return handler.count ("matching") == 1; }));
    EXPECT_TRUE (holds (key));
}

TEST_F (HidUtilTest, ArrivalAfterStartIsTakenAndAnnouncedOnce)
{
    EXPECT_FALSE (start());
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000, 0x0210));
    ASSERT_TRUE (pumpUntil ([&] { return handler.count ("matching") == 1; }));
    pumpFor (0.1);
    EXPECT_EQ (handler.events.size(), 1u);
    EXPECT_EQ (holder->deviceVersion(), 210);
    EXPECT_TRUE (holds (key));
}

TEST_F (HidUtilTest, RemovalReleasesBeforeTellingAndMatchingStaysArmed)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));

    struct RemovalProbe : hidtest::RecordingHandler
    {
        HidUtil* holder = nullptr;
        bool sentInside = true;
        void removalCallBack() override
        {
            auto report = makeReport ({ 0xF0 });
            sentInside = holder->deviceOutput (report.data(), report.size());
            RecordingHandler::removalCallBack();
        }
    } probe;
    holder = std::make_unique<HidUtil>();
    probe.holder = holder.get();
    ASSERT_TRUE (holder->initialize (&probe, 1));
    ASSERT_TRUE (holder->deviceMatching());

    fake.removeDevice (key);
    ASSERT_TRUE (pumpUntil ([&] { return probe.count ("removal") == 1; }));
    EXPECT_FALSE (probe.sentInside);
    EXPECT_EQ (holder->deviceVersion(), 0);
    ASSERT_NE (gDeviceCFArrayRef, nullptr); // the snapshot is not rebuilt on removal
    EXPECT_EQ (CFArrayGetCount (gDeviceCFArrayRef), 1);

    const auto again = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (pumpUntil ([&] { return probe.count ("matching") == 1; }));
    EXPECT_TRUE (holds (again));
}

TEST_F (HidUtilTest, ArrivalWhileHoldingIsIgnoredAndNotTakenWhenTheHeldOneGoes)
{
    const auto first = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (start());
    const auto second = fake.addDevice (FakeHidSource::qel720 (0x01200000));
    pumpFor (0.1);
    EXPECT_TRUE (handler.events.empty());

    fake.removeDevice (first);
    ASSERT_TRUE (pumpUntil ([&] { return handler.count ("removal") == 1; }));
    pumpFor (0.1);
    EXPECT_EQ (handler.count ("matching"), 0);
    auto report = makeReport ({ 0xF0 });
    EXPECT_FALSE (holder->deviceOutput (report.data(), report.size()));
    EXPECT_TRUE (fake.writtenReports (second).empty());

    const auto third = fake.addDevice (FakeHidSource::qel720 (0x01300000));
    ASSERT_TRUE (pumpUntil ([&] { return handler.count ("matching") == 1; }));
    EXPECT_TRUE (holds (third));
}

TEST_F (HidUtilTest, InputReportFromF0OnIsRelayedWithArgumentZero)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (start());
    const auto report = makeReport ({ 0xF0, 0x00, 0x01, 0x02 }, 0x5A);
    fake.injectInputReport (key, report);
    ASSERT_TRUE (pumpUntil ([&] { return handler.count ("input") == 1; }));
    EXPECT_EQ (handler.last().argument, 0);

    unsigned char copy[64] = {};
    EXPECT_EQ (holder->deviceInput (copy, sizeof (copy), 0), 64u);
    EXPECT_EQ (std::vector<uint8_t> (copy, copy + 64), report);

    fake.injectInputReport (key, makeReport ({ 0xFF }));
    ASSERT_TRUE (pumpUntil ([&] { return handler.count ("input") == 2; }));
}

TEST_F (HidUtilTest, InputReportBelowF0IsKeptButNotRelayed)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (start());
    const auto report = makeReport ({ 0xEF, 0x80 }, 0x11, 20);
    fake.injectInputReport (key, report);
    pumpFor (0.2);
    EXPECT_EQ (handler.count ("input"), 0);

    unsigned char copy[64] = {};
    ASSERT_EQ (holder->deviceInput (copy, sizeof (copy), 0), 20u);
    EXPECT_EQ (std::vector<uint8_t> (copy, copy + 20), report);
}

TEST_F (HidUtilTest, ShortReportOverwritesOnlyItsLengthOfTheBuffer)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (start());
    fake.injectInputReport (key, makeReport ({ 0xF0 }, 0xAA));
    fake.injectInputReport (key, makeReport ({ 0xF1 }, 0xBB, 10));
    ASSERT_TRUE (pumpUntil ([&] { return handler.count ("input") == 2; }));

    unsigned char copy[64] = {};
    ASSERT_EQ (holder->deviceInput (copy, sizeof (copy), 0), 10u);
    EXPECT_EQ (std::vector<uint8_t> (copy, copy + 10), makeReport ({ 0xF1 }, 0xBB, 10));
}

TEST_F (HidUtilTest, DeviceInputCopiesUpToTheCapacityAndCanBeRepeated)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (start());
    std::vector<uint8_t> report (64);
    for (size_t i = 0; i < report.size(); ++i)
        report[i] = (uint8_t) (0xF0 + i);
    fake.injectInputReport (key, report);
    ASSERT_TRUE (pumpUntil ([&] { return handler.count ("input") == 1; }));

    for (int round = 0; round < 2; ++round)
    {
        unsigned char copy[16];
        std::memset (copy, 0xEE, sizeof (copy));
        ASSERT_EQ (holder->deviceInput (copy, 10, 0), 10u);
        EXPECT_EQ (std::vector<uint8_t> (copy, copy + 10), std::vector<uint8_t> (report.begin(), report.begin() + 10));
        EXPECT_EQ (copy[10], 0xEE);
    }
}

TEST_F (HidUtilTest, TakingADeviceClearsTheReportBuffer)
{
    const auto first = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (start());
    fake.injectInputReport (first, makeReport ({ 0xF0 }, 0x77));
    ASSERT_TRUE (pumpUntil ([&] { return handler.count ("input") == 1; }));
    fake.removeDevice (first);
    ASSERT_TRUE (pumpUntil ([&] { return handler.count ("removal") == 1; }));

    fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (pumpUntil ([&] { return handler.count ("matching") == 1; }));
    unsigned char copy[64];
    std::memset (copy, 0xEE, sizeof (copy));
    EXPECT_EQ (holder->deviceInput (copy, sizeof (copy), 0), 0u);
    EXPECT_EQ (copy[0], 0xEE);
}

TEST_F (HidUtilTest, DeviceVersionReadsTheVersionNumberAsBcd)
{
    const std::pair<uint32_t, long> cases[] = {
        { 0x0210, 210 }, { 0x0123, 123 }, { 0x1234, 1234 }, { 0x00AB, 111 }, { 0x12345, 18345 }, { 0, 0 },
    };
    for (auto [raw, decimal] : cases)
    {
        const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000, raw));
        ASSERT_TRUE (start()) << std::hex << raw;
        EXPECT_EQ (holder->deviceVersion(), decimal) << std::hex << raw;
        holder.reset();
        fake.removeDevice (key);
    }
    HidUtil idle;
    EXPECT_EQ (idle.deviceVersion(), 0);
}

TEST_F (HidUtilTest, DeviceOutputSendsReportIdZeroAndTheBytesAsTheyStand)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (start());
    auto report = makeReport ({ 0xF1, 0x08, 0x00, 0x00, 0x1D }, 0x3C);
    EXPECT_TRUE (holder->deviceOutput (report.data(), report.size()));

    std::vector<uint8_t> expected { 0x00 };
    expected.insert (expected.end(), report.begin(), report.end());
    ASSERT_EQ (fake.writtenReports (key).size(), 1u);
    EXPECT_EQ (fake.writtenReports (key)[0], expected);
}

TEST_F (HidUtilTest, DeviceOutputRefusesBadArgumentsNoDeviceAndPlatformFailure)
{
    auto report = makeReport ({ 0xF0 });
    HidUtil idle;
    EXPECT_FALSE (idle.deviceOutput (report.data(), report.size()));

    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (start());
    EXPECT_FALSE (holder->deviceOutput (nullptr, 64));
    EXPECT_FALSE (holder->deviceOutput (report.data(), 0));
    EXPECT_TRUE (fake.writtenReports (key).empty());

    fake.setWriteFails (key, true);
    EXPECT_FALSE (holder->deviceOutput (report.data(), report.size()));
    fake.setWriteFails (key, false);
    EXPECT_TRUE (holder->deviceOutput (report.data(), report.size()));
}

TEST_F (HidUtilTest, FinalizeReleasesSilentlyAndEndsEveryEvent)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (start());
    holder->finalize();
    EXPECT_EQ (HidUtil::m_pinstance, nullptr);
    EXPECT_EQ (gDeviceCFArrayRef, nullptr);
    EXPECT_EQ (holder->deviceVersion(), 0);

    fake.injectInputReport (key, makeReport ({ 0xF0 }));
    fake.removeDevice (key);
    fake.addDevice (FakeHidSource::qel720 (0x01200000));
    pumpFor (0.2);
    EXPECT_TRUE (handler.events.empty());

    holder->finalize();
    EXPECT_EQ (HidUtil::m_pinstance, nullptr);
}

TEST_F (HidUtilTest, DestroyingTheHolderLetsTheNextOneBuildAFreshManager)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (start());
    holder.reset();
    EXPECT_EQ (gIOHIDManagerRef, nullptr);

    ASSERT_TRUE (start());
    EXPECT_NE (gIOHIDManagerRef, nullptr);
    EXPECT_TRUE (holds (key));
}

} // namespace
