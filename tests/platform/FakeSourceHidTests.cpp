// The HID manager and devices over the in-process fake source: the edge cases that are hard to
// produce with emulated nodes (failures, races, exact callback counts).

#include "HidTestHelpers.h"

#include <FakeHidSource.h>

#include <atomic>

using testsupport::FakeHidSource;

class FakeSourceHid : public HidManagerTest
{
protected:
    void SetUp() override { fake.install(); }

    std::string addQel720() { return fake.addDevice(FakeHidSource::qel720(0x01100000)); }

    FakeHidSource fake;
};

TEST_F(FakeSourceHid, NoDeviceGivesANullSetAndAnEmptyDictionaryMatchesEveryDevice)
{
    openManager();
    EXPECT_EQ(IOHIDManagerCopyDevices(manager), nullptr);

    auto other = FakeHidSource::qel720(0x01200000);
    other.vendorID = 0x046D;
    other.primaryUsagePage = 1;
    addQel720();
    fake.addDevice(other);
    CFArrayRef emptyDictionary = createMatching({});
    openManager(emptyDictionary);
    CFRelease(emptyDictionary);
    EXPECT_EQ(devicesOf(manager).size(), 2u);

    CFArrayRef page = createMatching({ { kIOHIDPrimaryUsagePageKey, 1 } });
    IOHIDManagerSetDeviceMatchingMultiple(manager, page);
    EXPECT_EQ(CFGetRetainCount(page), 1); // the manager keeps its own copy of what it needs
    CFRelease(page);
    ASSERT_EQ(devicesOf(manager).size(), 1u);
    IOHIDDeviceRef device = devicesOf(manager)[0];
    EXPECT_EQ(numberProperty(device, kIOHIDVendorIDKey), 0x046D);

    // A copied set holds its own references; the manager keeps the devices.
    CFSetRef set = IOHIDManagerCopyDevices(manager);
    const CFIndex withSet = CFGetRetainCount(device);
    CFRelease(set);
    EXPECT_EQ(CFGetRetainCount(device), withSet - 1);
    EXPECT_EQ(numberProperty(device, kIOHIDProductIDKey), 0x0A6D);
}

TEST_F(FakeSourceHid, ArrivalAndRemovalAreAnnouncedOnceAndRemovalOnlyToScheduledDevices)
{
    openManager();
    CallbackLog log;
    schedule(log);
    const auto watched = addQel720(), unscheduled = fake.addDevice(FakeHidSource::qel720(0x01200000));
    ASSERT_TRUE(pumpUntil([&] { return log.matchings == 2; }));
    pumpFor(0.05);
    EXPECT_EQ(log.matchings, 2);
    ASSERT_EQ(devicesOf(manager).size(), 2u);
    IOHIDDeviceRef device = nullptr;
    for (auto* each : devicesOf(manager))
    {
        log.watch(each);
        if (numberProperty(each, kIOHIDLocationIDKey) == 0x01200000)
            IOHIDDeviceUnscheduleFromRunLoop(each, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
        else
            device = each;
    }
    EXPECT_EQ(fake.openConnectionCount(watched), 1);

    fake.removeDevice(watched); // sends "remove" and hangs the node up
    fake.removeDevice(unscheduled);
    ASSERT_TRUE(pumpUntil([&] { return log.removals == 1 && devicesOf(manager).empty(); }));
    pumpFor(0.05);
    EXPECT_EQ(log.removals, 1);
    EXPECT_EQ(log.lastRemovalSender, (void*)device);
    EXPECT_EQ(fake.openConnectionCount(watched), 0);
    EXPECT_TRUE(log.allOnThread(std::this_thread::get_id()));
    // The removed device object stays readable until the manager goes.
    EXPECT_EQ(numberProperty(device, kIOHIDLocationIDKey), 0x01100000);
}

TEST_F(FakeSourceHid, InputReportIsCutToTheRegisteredBufferAndItsLengthReported)
{
    const auto key = addQel720();
    CallbackLog log;
    IOHIDDeviceRef device = openWatched(log);
    uint8_t small[10] = {};
    IOHIDDeviceRegisterInputReportCallback(device, small, sizeof small, CallbackLog::report, &log);
    const auto report = patternReport(0xF0);
    fake.injectInputReport(key, report);
    ASSERT_TRUE(pumpUntil([&] { return log.reports == 1; }));
    const std::vector<uint8_t> head(report.begin(), report.begin() + 10);
    EXPECT_EQ(log.reportsSeen[0], head);
    EXPECT_EQ(log.lastReportData, small);
    EXPECT_EQ(std::vector<uint8_t>(small, small + 10), head);
    EXPECT_EQ(log.lastReportType, kIOHIDReportTypeInput);
}

TEST_F(FakeSourceHid, SetReportPrefixesReportIdZeroPassesOtherIdsAndReportsFailures)
{
    const auto key = addQel720();
    openManager();
    IOHIDDeviceRef device = devicesOf(manager).at(0);
    const uint8_t plain[3] = { 0xF0, 0x01, 0x02 };
    const uint8_t numbered[3] = { 0x05, 0xAA, 0xBB };
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, plain, 3), kIOReturnSuccess);
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 5, numbered, 3), kIOReturnSuccess);
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeFeature, 0, plain, 3), kIOReturnUnsupported);
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, nullptr, 3), kIOReturnBadArgument);
    EXPECT_EQ(IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, plain, 0), kIOReturnBadArgument);
    EXPECT_EQ(fake.writtenReports(key),
              (std::vector<std::vector<uint8_t>>{ { 0x00, 0xF0, 0x01, 0x02 }, { 0x05, 0xAA, 0xBB } }));

    // A failed write is an I/O error, never success, and the device recovers.
    fake.setWriteFails(key, true);
    EXPECT_EQ(sendReport(device, patternReport(1)), kIOReturnIOError);
    fake.setWriteFails(key, false);
    EXPECT_EQ(sendReport(device, patternReport(1)), kIOReturnSuccess);
}

TEST_F(FakeSourceHid, ANodeThatCannotBeOpenedIsReportedOnceWithTheRuleToInstall)
{
    auto description = FakeHidSource::qel720(0x01100000);
    description.nodePath = "/dev/hidraw7";
    const auto key = fake.addDevice(description);
    fake.setOpenError(key, "Permission denied");
    openManager();
    IOHIDDeviceRef device = devicesOf(manager).at(0);
    CallbackLog log;

    ::testing::internal::CaptureStderr();
    log.watch(device);
    const auto report = patternReport(1);
    EXPECT_EQ(sendReport(device, report), kIOReturnNotOpen);
    EXPECT_EQ(sendReport(device, report), kIOReturnNotOpen);
    const std::string diagnostics = ::testing::internal::GetCapturedStderr();

    for (auto* part : { "/dev/hidraw7", "Permission denied", "70-qel720.rules" })
        EXPECT_NE(diagnostics.find(part), std::string::npos) << part << " missing from " << diagnostics;
    EXPECT_EQ(diagnostics.find("/dev/hidraw7"), diagnostics.rfind("/dev/hidraw7")) << "reported more than once";

    // Once the node opens, the scheduled device hears its reports after all.
    fake.setOpenError(key, "");
    EXPECT_EQ(sendReport(device, report), kIOReturnSuccess);
    fake.injectInputReport(key, report);
    EXPECT_TRUE(pumpUntil([&] { return log.reports == 1; }));
}

TEST_F(FakeSourceHid, RemovalInTheMiddleOfAnExchange)
{
    const auto key = addQel720();
    CallbackLog log;
    IOHIDDeviceRef device = openWatched(log);
    int answered = 0;
    fake.setReportHandler(key,
                          [&answered](const uint8_t* report, size_t length)
                          {
                              testsupport::OutputReportOutcome outcome;
                              if (++answered == 1)
                                  std::copy(report, report + std::min<size_t>(length, 64),
                                            outcome.reply.emplace().begin());
                              else
                                  outcome.removeDevice = true;
                              return outcome;
                          });

    const auto report = patternReport(0xF0);
    ASSERT_EQ(sendReport(device, report), kIOReturnSuccess);
    ASSERT_TRUE(pumpUntil([&] { return log.reports == 1; }));
    EXPECT_EQ(log.reportsSeen[0], report);
    EXPECT_EQ(sendReport(device, report), kIOReturnSuccess);
    EXPECT_EQ(sendReport(device, report), kIOReturnNotAttached);
    ASSERT_TRUE(pumpUntil([&] { return log.removals == 1; }));
    pumpFor(0.05);
    EXPECT_EQ(log.removals, 1);
    EXPECT_EQ(log.reports, 1);
}

TEST_F(FakeSourceHid, WorkerSendsWhileTheMainThreadRemovesAndReleasesManyTimes)
{
    // The worker holds the bare device reference the way the HID layer's worker does; the main
    // thread takes the removal, forgets the device and releases the manager. Every send must end
    // in success or a clean failure, never touch freed memory.
    for (int round = 0; round < 300; ++round)
    {
        const auto key = addQel720();
        CallbackLog log;
        IOHIDDeviceRef device = openWatched(log);
        std::atomic<bool> stop{ false };
        std::atomic<int> unexpected{ 0 }, attempts{ 0 };
        std::thread worker(
            [&]
            {
                const auto report = patternReport((uint8_t)round);
                for (; !stop; ++attempts)
                    if (const IOReturn result = sendReport(device, report);
                        result != kIOReturnSuccess && result != kIOReturnNotAttached)
                        ++unexpected;
            });
        while (attempts < 1 + round % 5)
            std::this_thread::yield();
        fake.removeDevice(key);
        ASSERT_TRUE(pumpUntil([&] { return log.removals == 1; }));
        log.forget(device);
        stop = true;
        worker.join();
        releaseManager();
        ASSERT_EQ(unexpected, 0);
        ASSERT_EQ(fake.openConnectionCount(key), 0);
    }
}

TEST_F(FakeSourceHid, ReleasingTheManagerUnderARetainingSenderMakesItsSendsFail)
{
    const auto key = addQel720();
    for (int round = 0; round < 200; ++round)
    {
        openManager();
        IOHIDDeviceRef device = devicesOf(manager).at(0);
        CFRetain(device); // the sender's own reference
        IOReturn last = kIOReturnSuccess;
        std::thread worker(
            [&]
            {
                const auto report = patternReport(2);
                while ((last = sendReport(device, report)) == kIOReturnSuccess)
                {
                }
            });
        std::this_thread::yield();
        releaseManager();
        worker.join();
        EXPECT_EQ(last, kIOReturnNotAttached);
        EXPECT_EQ(fake.openConnectionCount(key), 0);
        CFRelease(device);
    }
}
