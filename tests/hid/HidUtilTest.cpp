// The device holder: which device it takes, its events, its report buffer and its version rule,
// over the in-process fake device source.

#include "HidUtil.h"
#include "HIDDeviceList.h"
#include "HidTestSupport.h"

#include <FakeHidSource.h>

#include <gtest/gtest.h>

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

    // Makes a new holder active and looks for the device.
    bool start(int deviceType = 1, HidHandler* client = nullptr)
    {
        holder = std::make_unique<HidUtil>();
        return holder->initialize(client != nullptr ? client : &handler, deviceType) && holder->deviceMatching();
    }

    static platform::HidDeviceDescription device(uint32_t vendor, uint32_t product, uint32_t location)
    {
        platform::HidDeviceDescription d = FakeHidSource::qel720(location);
        d.vendorID = vendor;
        d.productID = product;
        return d;
    }

    // What the holder sends reaches the device it holds; tells which one that is.
    bool holds(const std::string& key)
    {
        const size_t before = fake.writtenReports(key).size();
        auto report = makeReport({ 0xF0, 0x00 });
        return holder->deviceOutput(report.data(), report.size()) && fake.writtenReports(key).size() == before + 1;
    }

    // deviceInput into a buffer of the given capacity; fails the test if it writes more than it reports.
    std::vector<uint8_t> readInput(unsigned long capacity)
    {
        std::vector<uint8_t> copy(capacity + 1, 0xEE);
        copy.resize(holder->deviceInput(copy.data(), capacity, 0) + 1);
        EXPECT_EQ(copy.back(), 0xEE) << "capacity " << capacity;
        copy.pop_back();
        return copy;
    }

    FakeHidSource fake;
    hidtest::RecordingHandler handler;
    std::unique_ptr<HidUtil> holder;
};

TEST_F(HidUtilTest, LowestLocationIsTakenSilentlyAmongDevicesPresentAtStart)
{
    const auto high = fake.addDevice(FakeHidSource::qel720(0x01200000));
    const auto low = fake.addDevice(FakeHidSource::qel720(0x01100000));
    const auto other = fake.addDevice(device(0x1234, 0x0A6D, 0x01000000));
    ASSERT_TRUE(start());
    pumpFor(0.2); // the manager now announces the present devices: all refused
    EXPECT_TRUE(handler.events.empty());
    EXPECT_TRUE(holds(low));
    EXPECT_TRUE(fake.writtenReports(high).empty());
    EXPECT_TRUE(fake.writtenReports(other).empty());
}

TEST_F(HidUtilTest, WrongVendorOrProductIsNeverTakenAndTypeZeroWantsProductZero)
{
    fake.addDevice(device(0x3A91, 0x0A6E, 0x01100000));
    fake.addDevice(device(0x3A92, 0x0A6D, 0x01200000));
    EXPECT_FALSE(start());
    const auto productZero = fake.addDevice(device(0x3A91, 0x0000, 0x01300000));
    fake.addDevice(device(0x0000, 0x0A6D, 0x01400000));
    pumpFor(0.2);
    EXPECT_TRUE(handler.events.empty());
    EXPECT_EQ(holder->deviceVersion(), 0);

    const auto right = fake.addDevice(FakeHidSource::qel720(0x01500000));
    ASSERT_TRUE(pumpUntil([&] { return handler.count("matching") == 1; }));
    pumpFor(0.1);
    EXPECT_EQ(handler.events.size(), 1u);
    EXPECT_TRUE(holds(right));

    holder.reset();
    ASSERT_TRUE(start(0));
    EXPECT_TRUE(holds(productZero));
}

TEST_F(HidUtilTest, RemovalReleasesBeforeTellingAndOnlyALaterArrivalIsTaken)
{
    struct RemovalProbe : hidtest::RecordingHandler
    {
        HidUtil* holder = nullptr;
        bool sentInside = true;
        void removalCallBack() override
        {
            auto report = makeReport({ 0xF0 });
            sentInside = holder->deviceOutput(report.data(), report.size());
            RecordingHandler::removalCallBack();
        }
    } probe;
    const auto first = fake.addDevice(FakeHidSource::qel720(0x01100000));
    ASSERT_TRUE(start(1, &probe));
    probe.holder = holder.get();
    const auto second = fake.addDevice(FakeHidSource::qel720(0x01200000));
    pumpFor(0.1);
    EXPECT_TRUE(probe.events.empty()); // arrival while holding is ignored

    fake.removeDevice(first);
    ASSERT_TRUE(pumpUntil([&] { return probe.count("removal") == 1; }));
    EXPECT_FALSE(probe.sentInside);
    EXPECT_EQ(holder->deviceVersion(), 0);
    pumpFor(0.1);
    EXPECT_EQ(probe.count("matching"), 0); // nor taken when the held one goes
    EXPECT_FALSE(holds(second));

    const auto third = fake.addDevice(FakeHidSource::qel720(0x01300000));
    ASSERT_TRUE(pumpUntil([&] { return probe.count("matching") == 1; }));
    EXPECT_TRUE(holds(third));
}

TEST_F(HidUtilTest, EveryInputReportIsKeptForDeviceInputButOnlyF0OnIsRelayed)
{
    const auto key = fake.addDevice(FakeHidSource::qel720(0x01100000));
    ASSERT_TRUE(start());
    const auto reply = makeReport({ 0xFF, 0x00, 0x01, 0x02 }, 0x5A);
    fake.injectInputReport(key, reply);
    ASSERT_TRUE(pumpUntil([&] { return handler.count("input") == 1; }));
    EXPECT_EQ(handler.last().argument, 0);
    const std::vector<uint8_t> head(reply.begin(), reply.begin() + 10);
    EXPECT_EQ(readInput(10), head);
    EXPECT_EQ(readInput(10), head); // reading does not consume

    const auto shortReport = makeReport({ 0xEF, 0x80 }, 0x11, 20);
    fake.injectInputReport(key, shortReport);
    pumpFor(0.2);
    EXPECT_EQ(handler.count("input"), 1);
    EXPECT_EQ(readInput(64), shortReport);
}

TEST_F(HidUtilTest, DeviceVersionReadsTheVersionNumberAsBcd)
{
    const std::pair<uint32_t, long> cases[] = {
        { 0x0210, 210 }, { 0x0123, 123 }, { 0x1234, 1234 }, { 0x00AB, 111 }, { 0x12345, 18345 }, { 0, 0 },
    };
    for (auto [raw, decimal] : cases)
    {
        const auto key = fake.addDevice(FakeHidSource::qel720(0x01100000, raw));
        ASSERT_TRUE(start()) << std::hex << raw;
        EXPECT_EQ(holder->deviceVersion(), decimal) << std::hex << raw;
        holder.reset();
        fake.removeDevice(key);
    }
}

TEST_F(HidUtilTest, DeviceOutputSendsReportIdZeroThenTheBytesAndRefusesWhatCannotGo)
{
    auto report = makeReport({ 0xF1, 0x08, 0x00, 0x00, 0x1D }, 0x3C);
    HidUtil idle;
    EXPECT_FALSE(idle.deviceOutput(report.data(), report.size()));

    const auto key = fake.addDevice(FakeHidSource::qel720(0x01100000));
    ASSERT_TRUE(start());
    EXPECT_FALSE(holder->deviceOutput(nullptr, 64));
    EXPECT_FALSE(holder->deviceOutput(report.data(), 0));
    fake.setWriteFails(key, true);
    EXPECT_FALSE(holder->deviceOutput(report.data(), report.size()));
    fake.setWriteFails(key, false);
    EXPECT_TRUE(holder->deviceOutput(report.data(), report.size()));

    std::vector<uint8_t> expected{ 0x00 };
    expected.insert(expected.end(), report.begin(), report.end());
    EXPECT_EQ(fake.writtenReports(key), std::vector<std::vector<uint8_t>>{ expected });
}

} // namespace
