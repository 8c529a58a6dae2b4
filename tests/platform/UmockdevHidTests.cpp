// The HID layer over the real backend (libudev + hidraw), with devices emulated by umockdev.
// Runs under umockdev-wrapper (CTest does that).

#include "HidTestHelpers.h"

#include <UmockdevHidTestbed.h>

#include <atomic>
#include <map>

using testsupport::UmockdevHidTestbed;
using Spec = UmockdevHidTestbed::DeviceSpec;

class UmockdevHid : public HidManagerTest
{
protected:
    static void SetUpTestSuite()
    {
        // One testbed for the process, made before any manager creates a udev monitor.
        if (testbed == nullptr && UmockdevHidTestbed::available())
            testbed = new UmockdevHidTestbed();
    }

    void SetUp() override
    {
        if (testbed == nullptr)
            GTEST_SKIP() << "run under umockdev-wrapper";
    }

    void TearDown() override
    {
        for (auto id : added)
            testbed->removeDevice(id);
        HidManagerTest::TearDown();
    }

    UmockdevHidTestbed::DeviceId add(Spec spec = {})
    {
        const auto id = testbed->addDevice(spec);
        EXPECT_NE(id, 0);
        added.push_back(id);
        return id;
    }

    // Location ID -> vendor, product, version, primary usage page and usage, of every device.
    std::map<long, std::vector<long>> propertiesByLocation()
    {
        std::map<long, std::vector<long>> properties;
        for (auto* device : devicesOf(manager))
            for (auto* key : { kIOHIDVendorIDKey, kIOHIDProductIDKey, kIOHIDVersionNumberKey, kIOHIDPrimaryUsagePageKey,
                               kIOHIDPrimaryUsageKey })
                properties[numberProperty(device, kIOHIDLocationIDKey)].push_back(numberProperty(device, key));
        return properties;
    }

    static UmockdevHidTestbed* testbed;
    std::vector<UmockdevHidTestbed::DeviceId> added;
};

UmockdevHidTestbed* UmockdevHid::testbed = nullptr;

TEST_F(UmockdevHid, DevicesReadTheirOwnIdsUsageAndLocationAndMatchingLeavesOutWrongVendorOrProduct)
{
    Spec nested, laterBus, deeper, earlier, keyboard, otherVendor, otherProduct;
    nested.bcdDevice = 0x0210;
    nested.busNumber = 3;
    nested.portPath = { 2, 4 };
    laterBus.busNumber = 2;
    deeper.portPath = { 3, 2 };
    earlier.portPath = { 3 };
    keyboard.vendorID = 0x046D;
    keyboard.usagePage = 0x0001;
    keyboard.usage = 0x0006;
    keyboard.portPath = { 5 };
    otherVendor.vendorID = 0x1234;
    otherProduct.productID = 0x0A6E;
    otherProduct.portPath = { 2 };
    for (auto& spec : { nested, laterBus, deeper, earlier, keyboard, otherVendor, otherProduct })
        add(spec);
    openManager();

    // Location IDs: bus in the top byte, then one nibble per port.
    const std::vector<long> qel{ 0x3A91, 0x0A6D, 0x0100, 0xFF00, 0x0001 };
    EXPECT_EQ(propertiesByLocation(),
              (std::map<long, std::vector<long>>{ { 0x03240000, { 0x3A91, 0x0A6D, 0x0210, 0xFF00, 1 } },
                                                  { 0x02100000, qel },
                                                  { 0x01320000, qel },
                                                  { 0x01300000, qel },
                                                  { 0x01500000, { 0x046D, 0x0A6D, 0x0100, 1, 6 } },
                                                  { 0x01100000, { 0x1234, 0x0A6D, 0x0100, 0xFF00, 1 } },
                                                  { 0x01200000, { 0x3A91, 0x0A6E, 0x0100, 0xFF00, 1 } } }));

    const std::vector<std::pair<std::vector<std::pair<const char*, int>>, std::vector<long>>> cases{
        { { { kIOHIDVendorIDKey, 0x3A91 }, { kIOHIDProductIDKey, 0x0A6D } },
          { 0x01300000, 0x01320000, 0x02100000, 0x03240000 } },
        { { { kIOHIDPrimaryUsagePageKey, 1 }, { kIOHIDPrimaryUsageKey, 6 } }, { 0x01500000 } },
        { { { kIOHIDVendorIDKey, 0x1234 }, { kIOHIDPrimaryUsagePageKey, 1 } }, {} },
    };
    for (auto& [entries, locations] : cases)
    {
        CFArrayRef matching = createMatching(entries);
        IOHIDManagerSetDeviceMatchingMultiple(manager, matching);
        CFRelease(matching);
        std::vector<long> matched;
        for (auto& [location, properties] : propertiesByLocation())
            matched.push_back(location);
        EXPECT_EQ(matched, locations) << entries[0].first << " " << entries[0].second;
    }
}

TEST_F(UmockdevHid, PresentAndHotPluggedDevicesAreAnnouncedOnTheSchedulingThreadOnce)
{
    add(); // at port 1
    openManager();
    CallbackLog log;
    schedule(log);
    EXPECT_EQ(log.matchings, 0); // not from inside the scheduling call
    ASSERT_TRUE(pumpUntil([&] { return log.matchings == 1; }));
    pumpFor(0.05);
    EXPECT_EQ(log.matchings, 1);

    Spec spec;
    spec.portPath = { 7 };
    const auto id = add(spec);
    ASSERT_TRUE(pumpUntil([&] { return log.matchings == 2; }));
    IOHIDDeviceRef device = log.lastMatched;
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(numberProperty(device, kIOHIDLocationIDKey), 0x01700000);
    log.watch(device);

    testbed->removeDevice(id);
    ASSERT_TRUE(pumpUntil([&] { return log.removals == 1; }));
    pumpFor(0.2);
    EXPECT_EQ(log.removals, 1);
    EXPECT_EQ(log.lastRemovalSender, (void*)device);
    EXPECT_EQ(log.matchings, 2);
    EXPECT_TRUE(log.allOnThread(std::this_thread::get_id()));
    EXPECT_EQ(devicesOf(manager).size(), 1u);
}

TEST_F(UmockdevHid, ReportsCrossTheNodeWholeAndByteForByte)
{
    const auto id = add();
    CallbackLog log;
    IOHIDDeviceRef device = openWatched(log);
    // Output: report ID 0, then the 64 bytes.
    for (uint8_t seed : { 0x00, 0x5A, 0xF0 })
    {
        const auto report = patternReport(seed);
        ASSERT_EQ(sendReport(device, report), kIOReturnSuccess);
        std::vector<uint8_t> written, expected{ 0x00 };
        ASSERT_TRUE(testbed->readHostWrite(id, written, 1000));
        expected.insert(expected.end(), report.begin(), report.end());
        EXPECT_EQ(written, expected) << "seed " << (int)seed;
    }

    // Input: one whole report per callback, whether written to the node or sent as a reply.
    const auto first = patternReport(0xF0);
    ASSERT_TRUE(testbed->writeInputReport(id, first) || log.reports == 0);
    ASSERT_TRUE(pumpUntil([&] { return log.reports == 1; }));
    testbed->setReportHandler(id,
                              [](const uint8_t* report, size_t length)
                              {
                                  testsupport::OutputReportOutcome outcome;
                                  std::copy(report, report + std::min<size_t>(length, 64),
                                            outcome.reply.emplace().begin());
                                  (*outcome.reply)[1] = 0x80;
                                  return outcome;
                              });
    auto second = patternReport(0x11);
    ASSERT_EQ(sendReport(device, second), kIOReturnSuccess);
    ASSERT_TRUE(pumpUntil([&] { return log.reports == 2; }));
    second[1] = 0x80;

    EXPECT_EQ(log.reportsSeen, (std::vector<std::vector<uint8_t>>{ first, second }));
    EXPECT_EQ(std::vector<uint8_t>(log.buffer, log.buffer + 64), second);
    EXPECT_TRUE(log.allOnThread(std::this_thread::get_id()));
}

TEST_F(UmockdevHid, RemovalInTheMiddleOfAnExchangeFailsLaterSendsAndReportsOnce)
{
    const auto id = add();
    CallbackLog log;
    IOHIDDeviceRef device = openWatched(log);
    testbed->setReportHandler(id,
                              [](const uint8_t*, size_t)
                              {
                                  testsupport::OutputReportOutcome outcome;
                                  outcome.removeDevice = true; // the device goes instead of answering
                                  return outcome;
                              });

    const auto report = patternReport(0xF0);
    EXPECT_EQ(sendReport(device, report), kIOReturnSuccess);
    ASSERT_TRUE(pumpUntil([&] { return log.removals == 1; }));
    EXPECT_EQ(sendReport(device, report), kIOReturnNotAttached);
    pumpFor(0.2);
    EXPECT_EQ(log.removals, 1);
    EXPECT_EQ(log.reports, 0);
    EXPECT_TRUE(log.allOnThread(std::this_thread::get_id()));
}

TEST_F(UmockdevHid, SendFromAWorkerWhileTheMainThreadReleasesTheDevice)
{
    // The worker keeps the bare reference, as the HID layer's worker does; the main thread takes
    // the device's removal, forgets the device, and finally releases the manager.
    for (int round = 0; round < 10; ++round)
    {
        Spec spec;
        spec.portPath = { 1 + round % 9 };
        const auto id = testbed->addDevice(spec);
        ASSERT_NE(id, 0);
        CallbackLog log;
        IOHIDDeviceRef device = openWatched(log);

        std::atomic<bool> stop{ false }, draining{ true };
        std::atomic<int> sent{ 0 }, failed{ 0 };
        std::thread worker(
            [&]
            {
                const auto report = patternReport((uint8_t)round);
                while (!stop)
                    (sendReport(device, report) == kIOReturnSuccess ? sent : failed)++;
            });
        // Drain what the worker writes, so the node never fills up.
        std::thread drain(
            [&]
            {
                std::vector<uint8_t> bytes;
                while (draining)
                    if (!testbed->readHostWrite(id, bytes, 5))
                        std::this_thread::sleep_for(std::chrono::milliseconds(1));
            });
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        testbed->removeDevice(id);
        ASSERT_TRUE(pumpUntil([&] { return log.removals == 1; }));
        log.forget(device);
        const int failuresBefore = failed;
        ASSERT_TRUE(pumpUntil([&] { return failed > failuresBefore; }));
        stop = true;
        worker.join();
        draining = false;
        drain.join();
        releaseManager();
        EXPECT_EQ(log.removals, 1);
    }
}
