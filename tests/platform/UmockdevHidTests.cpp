// The HID layer over the real backend (libudev + hidraw), with devices emulated by umockdev.
// Runs under umockdev-wrapper (CTest does that).

#include "HidTestHelpers.h"
#include "RunLoopPump.h"

#include <UmockdevHidTestbed.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

using testsupport::UmockdevHidTestbed;

class UmockdevHid : public ::testing::Test
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
            testbed->removeDevice (id);
        if (manager != nullptr)
            CFRelease (manager);
    }

    UmockdevHidTestbed::DeviceId add (UmockdevHidTestbed::DeviceSpec spec = {})
    {
        const auto id = testbed->addDevice (spec);
        EXPECT_NE (id, 0);
        added.push_back (id);
        return id;
    }

    IOHIDManagerRef openManager (CFArrayRef matching = nullptr)
    {
        manager = IOHIDManagerCreate (kCFAllocatorDefault, kIOHIDOptionsTypeNone);
        IOHIDManagerSetDeviceMatchingMultiple (manager, matching);
        EXPECT_EQ (IOHIDManagerOpen (manager, kIOHIDOptionsTypeNone), kIOReturnSuccess);
        return manager;
    }

    void scheduleWithLog (CallbackLog& log)
    {
        IOHIDManagerRegisterDeviceMatchingCallback (manager, CallbackLog::matched, &log);
        IOHIDManagerScheduleWithRunLoop (manager, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }

    static UmockdevHidTestbed* testbed;
    std::vector<UmockdevHidTestbed::DeviceId> added;
    IOHIDManagerRef manager = nullptr;
};

UmockdevHidTestbed* UmockdevHid::testbed = nullptr;

TEST_F (UmockdevHid, EnumerationGivesTheUsbIdsVersionLocationAndPrimaryUsage)
{
    UmockdevHidTestbed::DeviceSpec spec;
    spec.bcdDevice = 0x0210;
    spec.busNumber = 3;
    spec.portPath = { 2, 4 };
    add (spec);
    openManager();

    const auto devices = devicesOf (manager);
    ASSERT_EQ (devices.size(), 1u);
    IOHIDDeviceRef device = devices[0];
    EXPECT_EQ (numberProperty (device, kIOHIDVendorIDKey), 0x3A91);
    EXPECT_EQ (numberProperty (device, kIOHIDProductIDKey), 0x0A6D);
    EXPECT_EQ (numberProperty (device, kIOHIDVersionNumberKey), 0x0210);
    EXPECT_EQ (numberProperty (device, kIOHIDLocationIDKey), 0x03240000);
    EXPECT_EQ (numberProperty (device, kIOHIDPrimaryUsagePageKey), 0xFF00);
    EXPECT_EQ (numberProperty (device, kIOHIDPrimaryUsageKey), 0x0001);
    EXPECT_EQ (CFGetTypeID (device), IOHIDDeviceGetTypeID());
}

TEST_F (UmockdevHid, MatchingOnPrimaryUsageUsesTheReportDescriptor)
{
    UmockdevHidTestbed::DeviceSpec keyboard;
    keyboard.usagePage = 0x0001;
    keyboard.usage = 0x0006;
    keyboard.portPath = { 5 };
    add (keyboard);
    add(); // vendor-defined page 0xFF00 at port 1

    CFArrayRef vendorPage = createMatching ({ { kIOHIDPrimaryUsagePageKey, 0xFF00 } });
    openManager (vendorPage);
    CFRelease (vendorPage);
    auto devices = devicesOf (manager);
    ASSERT_EQ (devices.size(), 1u);
    EXPECT_EQ (numberProperty (devices[0], kIOHIDLocationIDKey), 0x01100000);

    CFArrayRef keyboards = createMatching ({ { kIOHIDPrimaryUsagePageKey, 1 }, { kIOHIDPrimaryUsageKey, 6 } });
    IOHIDManagerSetDeviceMatchingMultiple (manager, keyboards);
    CFRelease (keyboards);
    devices = devicesOf (manager);
    ASSERT_EQ (devices.size(), 1u);
    EXPECT_EQ (numberProperty (devices[0], kIOHIDLocationIDKey), 0x01500000);

    IOHIDManagerSetDeviceMatchingMultiple (manager, nullptr);
    EXPECT_EQ (devicesOf (manager).size(), 2u);
}

TEST_F (UmockdevHid, WrongVendorOrProductIsNeverMatchedOnTheIdsTheHidLayerReads)
{
    UmockdevHidTestbed::DeviceSpec otherVendor;
    otherVendor.vendorID = 0x1234;
    otherVendor.portPath = { 1 };
    UmockdevHidTestbed::DeviceSpec otherProduct;
    otherProduct.productID = 0x0A6E;
    otherProduct.portPath = { 2 };
    add (otherVendor);
    add (otherProduct);

    CFArrayRef qel = createMatching ({ { kIOHIDVendorIDKey, 0x3A91 }, { kIOHIDProductIDKey, 0x0A6D } });
    openManager (qel);
    CFRelease (qel);
    EXPECT_TRUE (devicesOf (manager).empty());
    EXPECT_EQ (IOHIDManagerCopyDevices (manager), nullptr);

    // With every device matched, each reads its own ids.
    IOHIDManagerSetDeviceMatchingMultiple (manager, nullptr);
    IOHIDDeviceRef first = deviceAt (manager, 0x01100000);
    IOHIDDeviceRef second = deviceAt (manager, 0x01200000);
    ASSERT_NE (first, nullptr);
    ASSERT_NE (second, nullptr);
    EXPECT_EQ (numberProperty (first, kIOHIDVendorIDKey), 0x1234);
    EXPECT_EQ (numberProperty (first, kIOHIDProductIDKey), 0x0A6D);
    EXPECT_EQ (numberProperty (second, kIOHIDVendorIDKey), 0x3A91);
    EXPECT_EQ (numberProperty (second, kIOHIDProductIDKey), 0x0A6E);
}

TEST_F (UmockdevHid, TwoMatchingDevicesSortByLocationIdBusFirstThenPorts)
{
    UmockdevHidTestbed::DeviceSpec later;
    later.busNumber = 2;
    later.portPath = { 1 };
    UmockdevHidTestbed::DeviceSpec deeper;
    deeper.busNumber = 1;
    deeper.portPath = { 3, 2 };
    UmockdevHidTestbed::DeviceSpec earlier;
    earlier.busNumber = 1;
    earlier.portPath = { 3 };
    add (later);
    add (deeper);
    add (earlier);
    openManager();

    std::vector<long> locations;
    for (auto* device : devicesOf (manager))
        locations.push_back (numberProperty (device, kIOHIDLocationIDKey));
    std::sort (locations.begin(), locations.end());
    EXPECT_EQ (locations, (std::vector<long> { 0x01300000, 0x01320000, 0x02100000 }));
}

TEST_F (UmockdevHid, HotPlugArrivalAndRemovalRunOnTheSchedulingThreadOnce)
{
    openManager();
    CallbackLog log;
    scheduleWithLog (log);
    pumpFor (0.05);
    EXPECT_EQ (log.matchings, 0);

    UmockdevHidTestbed::DeviceSpec spec;
    spec.portPath = { 7 };
    const auto id = add (spec);
    ASSERT_TRUE (pumpUntil ([&] { return log.matchings == 1; }));
    ASSERT_NE (log.lastMatched, nullptr);
    EXPECT_EQ (numberProperty (log.lastMatched, kIOHIDLocationIDKey), 0x01700000);
    IOHIDDeviceRef device = log.lastMatched;
    log.watch (device);

    testbed->removeDevice (id);
    ASSERT_TRUE (pumpUntil ([&] { return log.removals == 1; }));
    pumpFor (0.2);
    EXPECT_EQ (log.removals, 1);
    EXPECT_EQ (log.lastRemovalSender, (void*) device);
    EXPECT_EQ (log.matchings, 1);
    EXPECT_TRUE (log.allOnThread (std::this_thread::get_id()));
    EXPECT_TRUE (devicesOf (manager).empty());
}

TEST_F (UmockdevHid, DevicesPresentWhenScheduledAreAnnouncedOnTheRunLoop)
{
    add();
    openManager();
    CallbackLog log;
    scheduleWithLog (log);
    EXPECT_EQ (log.matchings, 0); // not from inside the scheduling call
    ASSERT_TRUE (pumpUntil ([&] { return log.matchings == 1; }));
    pumpFor (0.1);
    EXPECT_EQ (log.matchings, 1);
}

TEST_F (UmockdevHid, OutputReportIsWrittenAsReportIdZeroThenTheSixtyFourBytes)
{
    const auto id = add();
    openManager();
    IOHIDDeviceRef device = devicesOf (manager).at (0);

    for (uint8_t seed : { 0x00, 0x5A, 0xF0 })
    {
        const auto report = patternReport (seed);
        ASSERT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), (CFIndex) report.size()), kIOReturnSuccess);
        std::vector<uint8_t> written;
        ASSERT_TRUE (testbed->readHostWrite (id, written, 1000));
        std::vector<uint8_t> expected { 0x00 };
        expected.insert (expected.end(), report.begin(), report.end());
        EXPECT_EQ (written, expected);
    }
}

TEST_F (UmockdevHid, InputReportsArriveWholeOnePerCallbackByteForByte)
{
    const auto id = add();
    openManager();
    CallbackLog log;
    log.watch (devicesOf (manager).at (0));

    const auto first = patternReport (0xF0);
    const auto second = patternReport (0x11);
    ASSERT_TRUE (testbed->writeInputReport (id, first) || log.reports == 0);
    ASSERT_TRUE (pumpUntil ([&] { return log.reports == 1; }));
    ASSERT_TRUE (testbed->writeInputReport (id, second) || log.reports == 1);
    ASSERT_TRUE (pumpUntil ([&] { return log.reports == 2; }));

    EXPECT_EQ (log.reportsSeen[0], first);
    EXPECT_EQ (log.reportsSeen[1], second);
    EXPECT_EQ (std::vector<uint8_t> (log.buffer, log.buffer + 64), second);
    EXPECT_TRUE (log.allOnThread (std::this_thread::get_id()));
}

TEST_F (UmockdevHid, EchoRoundTripThroughTheHandlerHook)
{
    const auto id = add();
    openManager();
    CallbackLog log;
    log.watch (devicesOf (manager).at (0));
    testbed->setReportHandler (id, [] (const uint8_t* report, size_t length) {
        testsupport::OutputReportOutcome outcome;
        outcome.reply.emplace();
        std::copy (report, report + std::min<size_t> (length, 64), outcome.reply->begin());
        (*outcome.reply)[1] = 0x80;
        return outcome;
    });

    auto report = patternReport (0xF0);
    IOHIDDeviceRef device = devicesOf (manager).at (0);
    ASSERT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), 64), kIOReturnSuccess);
    ASSERT_TRUE (pumpUntil ([&] { return log.reports == 1; }));
    report[1] = 0x80;
    EXPECT_EQ (log.reportsSeen[0], report);
}

TEST_F (UmockdevHid, RemovalInTheMiddleOfAnExchangeFailsLaterSendsAndReportsOnce)
{
    const auto id = add();
    openManager();
    CallbackLog log;
    scheduleWithLog (log);
    IOHIDDeviceRef device = devicesOf (manager).at (0);
    log.watch (device);
    testbed->setReportHandler (id, [] (const uint8_t*, size_t) {
        testsupport::OutputReportOutcome outcome;
        outcome.removeDevice = true; // the device goes instead of answering
        return outcome;
    });

    const auto report = patternReport (0xF0);
    EXPECT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), 64), kIOReturnSuccess);
    ASSERT_TRUE (pumpUntil ([&] { return log.removals == 1; }));
    EXPECT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), 64), kIOReturnNotAttached);
    pumpFor (0.2);
    EXPECT_EQ (log.removals, 1);
    EXPECT_EQ (log.reports, 0);
    EXPECT_TRUE (log.allOnThread (std::this_thread::get_id()));
}

TEST_F (UmockdevHid, SendFromAWorkerWhileTheMainThreadReleasesTheDevice)
{
    // The worker keeps the bare reference, as the HID layer's worker does; the main thread takes
    // the device's removal, unregisters and unschedules it, and finally releases the manager.
    for (int round = 0; round < 10; ++round)
    {
        UmockdevHidTestbed::DeviceSpec spec;
        spec.portPath = { 1 + round % 9 };
        const auto id = testbed->addDevice (spec);
        ASSERT_NE (id, 0);
        manager = nullptr;
        openManager();
        CallbackLog log;
        scheduleWithLog (log);
        IOHIDDeviceRef device = devicesOf (manager).at (0);
        log.watch (device);

        std::atomic<bool> stop { false };
        std::atomic<int> sent { 0 }, failed { 0 };
        std::thread worker ([&] {
            const auto report = patternReport ((uint8_t) round);
            while (! stop)
                (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), 64) == kIOReturnSuccess ? sent : failed)++;
        });
        // Drain what the worker writes, so the node never fills up.
        std::atomic<bool> draining { true };
        std::thread drain ([&] {
            std::vector<uint8_t> bytes;
            while (draining)
                if (! testbed->readHostWrite (id, bytes, 5))
                    std::this_thread::sleep_for (std::chrono::milliseconds (1));
        });
        std::this_thread::sleep_for (std::chrono::milliseconds (5));
        testbed->removeDevice (id);
        ASSERT_TRUE (pumpUntil ([&] { return log.removals == 1; }));
        IOHIDDeviceRegisterRemovalCallback (device, nullptr, nullptr);
        IOHIDDeviceRegisterInputReportCallback (device, log.buffer, 64, nullptr, nullptr);
        IOHIDDeviceUnscheduleFromRunLoop (device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
        const int failuresBefore = failed;
        ASSERT_TRUE (pumpUntil ([&] { return failed > failuresBefore; }));
        stop = true;
        worker.join();
        draining = false;
        drain.join();
        CFRelease (manager);
        manager = nullptr;
        EXPECT_GT (sent + failed, 0);
        EXPECT_EQ (log.removals, 1);
    }
}
