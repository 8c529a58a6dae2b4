// The HID manager and devices over the in-process fake source: the edge cases that are hard to
// produce with emulated nodes (failures, races, exact callback counts).

#include "HidTestHelpers.h"
#include "RunLoopPump.h"

#include <FakeHidSource.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using testsupport::FakeHidSource;

class FakeSourceHid : public ::testing::Test
{
protected:
    void SetUp() override { fake.install(); }

    void TearDown() override
    {
        if (manager != nullptr)
            CFRelease (manager);
    }

    IOHIDManagerRef openManager()
    {
        manager = IOHIDManagerCreate (kCFAllocatorDefault, kIOHIDOptionsTypeNone);
        IOHIDManagerSetDeviceMatchingMultiple (manager, nullptr);
        EXPECT_EQ (IOHIDManagerOpen (manager, kIOHIDOptionsTypeNone), kIOReturnSuccess);
        return manager;
    }

    void schedule (CallbackLog& log)
    {
        IOHIDManagerRegisterDeviceMatchingCallback (manager, CallbackLog::matched, &log);
        IOHIDManagerScheduleWithRunLoop (manager, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }

    FakeHidSource fake;
    IOHIDManagerRef manager = nullptr;
};

TEST_F (FakeSourceHid, NoDeviceGivesANullSetAndAnEmptyDictionaryMatchesEveryDevice)
{
    openManager();
    EXPECT_EQ (IOHIDManagerCopyDevices (manager), nullptr);

    auto other = FakeHidSource::qel720 (0x01200000);
    other.vendorID = 0x046D;
    other.primaryUsagePage = 1;
    fake.addDevice (FakeHidSource::qel720 (0x01100000));
    fake.addDevice (other);
    CFRelease (manager);
    openManager();
    CFArrayRef emptyDictionary = createMatching ({});
    IOHIDManagerSetDeviceMatchingMultiple (manager, emptyDictionary);
    CFRelease (emptyDictionary);
    EXPECT_EQ (devicesOf (manager).size(), 2u);

    CFArrayRef page = createMatching ({ { kIOHIDPrimaryUsagePageKey, 1 } });
    IOHIDManagerSetDeviceMatchingMultiple (manager, page);
    EXPECT_EQ (CFGetRetainCount (page), 1); // the manager keeps its own copy of what it needs
    CFRelease (page);
    ASSERT_EQ (devicesOf (manager).size(), 1u);
    EXPECT_EQ (numberProperty (devicesOf (manager)[0], kIOHIDVendorIDKey), 0x046D);
}

TEST_F (FakeSourceHid, CopiedSetHoldsItsOwnReferencesAndTheManagerKeepsTheDevices)
{
    fake.addDevice (FakeHidSource::qel720 (0x01100000));
    openManager();
    CFSetRef set = IOHIDManagerCopyDevices (manager);
    ASSERT_NE (set, nullptr);
    IOHIDDeviceRef device = devicesOf (manager)[0];
    const CFIndex withSet = CFGetRetainCount (device);
    CFRelease (set);
    EXPECT_EQ (CFGetRetainCount (device), withSet - 1);
    EXPECT_EQ (numberProperty (device, kIOHIDProductIDKey), 0x0A6D);
}

TEST_F (FakeSourceHid, ArrivalIsAnnouncedOnceAndNotAgainForTheSameDevice)
{
    openManager();
    CallbackLog log;
    schedule (log);
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    ASSERT_TRUE (pumpUntil ([&] { return log.matchings == 1; }));
    pumpFor (0.05);
    EXPECT_EQ (log.matchings, 1);
    EXPECT_TRUE (log.allOnThread (std::this_thread::get_id()));
    EXPECT_EQ (devicesOf (manager).size(), 1u);
    (void) key;
}

TEST_F (FakeSourceHid, RemovalByUdevAndByHangUpCallsTheRemovalCallbackOnce)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    openManager();
    CallbackLog log;
    schedule (log);
    IOHIDDeviceRef device = devicesOf (manager).at (0);
    log.watch (device);
    ASSERT_EQ (fake.openConnectionCount (key), 1);

    fake.removeDevice (key); // sends "remove" and hangs the node up
    ASSERT_TRUE (pumpUntil ([&] { return log.removals == 1; }));
    pumpFor (0.05);
    EXPECT_EQ (log.removals, 1);
    EXPECT_EQ (log.lastRemovalSender, (void*) device);
    EXPECT_EQ (fake.openConnectionCount (key), 0);
    // The removed device object stays readable until the manager goes.
    EXPECT_EQ (numberProperty (device, kIOHIDLocationIDKey), 0x01100000);
}

TEST_F (FakeSourceHid, AnUnscheduledDeviceHearsNothingOfItsRemoval)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    openManager();
    CallbackLog log;
    schedule (log);
    IOHIDDeviceRef device = devicesOf (manager).at (0);
    log.watch (device);
    IOHIDDeviceUnscheduleFromRunLoop (device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    fake.removeDevice (key);
    pumpUntil ([&] { return devicesOf (manager).empty(); });
    pumpFor (0.05);
    EXPECT_EQ (log.removals, 0);
}

TEST_F (FakeSourceHid, InputReportIsCutToTheRegisteredBufferAndItsLengthReported)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    openManager();
    uint8_t small[10] = {};
    struct Seen
    {
        CFIndex length = -1;
        uint8_t* report = nullptr;
    } seen;
    IOHIDDeviceRef device = devicesOf (manager).at (0);
    IOHIDDeviceRegisterInputReportCallback (
        device, small, sizeof small,
        [] (void* context, IOReturn, void*, IOHIDReportType type, uint32_t, uint8_t* report, CFIndex length) {
            EXPECT_EQ (type, kIOHIDReportTypeInput);
            static_cast<Seen*> (context)->length = length;
            static_cast<Seen*> (context)->report = report;
        },
        &seen);
    IOHIDDeviceScheduleWithRunLoop (device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);

    const auto report = patternReport (0xF0);
    fake.injectInputReport (key, report);
    ASSERT_TRUE (pumpUntil ([&] { return seen.length >= 0; }));
    EXPECT_EQ (seen.length, 10);
    EXPECT_EQ (seen.report, small);
    EXPECT_EQ (std::vector<uint8_t> (small, small + 10), std::vector<uint8_t> (report.begin(), report.begin() + 10));
}

TEST_F (FakeSourceHid, SetReportPrefixesReportIdZeroAndPassesOtherIdsThrough)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    openManager();
    IOHIDDeviceRef device = devicesOf (manager).at (0);
    const uint8_t plain[3] = { 0xF0, 0x01, 0x02 };
    const uint8_t numbered[3] = { 0x05, 0xAA, 0xBB };
    EXPECT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, plain, 3), kIOReturnSuccess);
    EXPECT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 5, numbered, 3), kIOReturnSuccess);
    EXPECT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeFeature, 0, plain, 3), kIOReturnUnsupported);
    EXPECT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, nullptr, 3), kIOReturnBadArgument);
    EXPECT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, plain, 0), kIOReturnBadArgument);
    EXPECT_EQ (fake.writtenReports (key), (std::vector<std::vector<uint8_t>> { { 0x00, 0xF0, 0x01, 0x02 }, { 0x05, 0xAA, 0xBB } }));
}

TEST_F (FakeSourceHid, AFailedWriteIsAnIoErrorNotSuccess)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    openManager();
    IOHIDDeviceRef device = devicesOf (manager).at (0);
    fake.setWriteFails (key, true);
    const auto report = patternReport (1);
    EXPECT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), 64), kIOReturnIOError);
    fake.setWriteFails (key, false);
    EXPECT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), 64), kIOReturnSuccess);
}

TEST_F (FakeSourceHid, ANodeThatCannotBeOpenedIsReportedOnceWithTheRuleToInstall)
{
    auto description = FakeHidSource::qel720 (0x01100000);
    description.nodePath = "/dev/hidraw7";
    const auto key = fake.addDevice (description);
    fake.setOpenError (key, "Permission denied");
    openManager();
    IOHIDDeviceRef device = devicesOf (manager).at (0);
    CallbackLog log;

    ::testing::internal::CaptureStderr();
    log.watch (device);
    const auto report = patternReport (1);
    EXPECT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), 64), kIOReturnNotOpen);
    EXPECT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), 64), kIOReturnNotOpen);
    const std::string diagnostics = ::testing::internal::GetCapturedStderr();

    EXPECT_NE (diagnostics.find ("/dev/hidraw7"), std::string::npos) << diagnostics;
    EXPECT_NE (diagnostics.find ("Permission denied"), std::string::npos) << diagnostics;
    EXPECT_NE (diagnostics.find ("70-qel720.rules"), std::string::npos) << diagnostics;
    EXPECT_EQ (diagnostics.find ("/dev/hidraw7"), diagnostics.rfind ("/dev/hidraw7")) << "reported more than once";

    // Once the node opens, the scheduled device hears its reports after all.
    fake.setOpenError (key, "");
    EXPECT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), 64), kIOReturnSuccess);
    fake.injectInputReport (key, report);
    EXPECT_TRUE (pumpUntil ([&] { return log.reports == 1; }));
}

TEST_F (FakeSourceHid, RemovalInTheMiddleOfAnExchange)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    openManager();
    CallbackLog log;
    schedule (log);
    IOHIDDeviceRef device = devicesOf (manager).at (0);
    log.watch (device);
    int answered = 0;
    fake.setReportHandler (key, [&answered] (const uint8_t* report, size_t length) {
        testsupport::OutputReportOutcome outcome;
        if (++answered == 1)
        {
            outcome.reply.emplace();
            std::copy (report, report + std::min<size_t> (length, 64), outcome.reply->begin());
        }
        else
            outcome.removeDevice = true;
        return outcome;
    });

    const auto report = patternReport (0xF0);
    ASSERT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), 64), kIOReturnSuccess);
    ASSERT_TRUE (pumpUntil ([&] { return log.reports == 1; }));
    EXPECT_EQ (log.reportsSeen[0], report);
    EXPECT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), 64), kIOReturnSuccess);
    EXPECT_EQ (IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), 64), kIOReturnNotAttached);
    ASSERT_TRUE (pumpUntil ([&] { return log.removals == 1; }));
    pumpFor (0.05);
    EXPECT_EQ (log.removals, 1);
    EXPECT_EQ (log.reports, 1);
}

TEST_F (FakeSourceHid, WorkerSendsWhileTheMainThreadRemovesAndReleasesManyTimes)
{
    // The worker holds the bare device reference the way the HID layer's worker does; the main
    // thread takes the removal, unregisters and unschedules the device and releases the manager.
    // Every send must end in success or a clean failure, never touch freed memory.
    for (int round = 0; round < 300; ++round)
    {
        const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
        openManager();
        CallbackLog log;
        schedule (log);
        IOHIDDeviceRef device = devicesOf (manager).at (0);
        log.watch (device);

        std::atomic<bool> stop { false };
        std::atomic<int> unexpected { 0 }, attempts { 0 };
        std::thread worker ([&] {
            const auto report = patternReport ((uint8_t) round);
            while (! stop)
            {
                const IOReturn result = IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), 64);
                if (result != kIOReturnSuccess && result != kIOReturnNotAttached)
                    ++unexpected;
                ++attempts;
            }
        });
        while (attempts < 1 + round % 5)
            std::this_thread::yield();
        fake.removeDevice (key);
        ASSERT_TRUE (pumpUntil ([&] { return log.removals == 1; }));
        IOHIDDeviceRegisterRemovalCallback (device, nullptr, nullptr);
        IOHIDDeviceRegisterInputReportCallback (device, log.buffer, 64, nullptr, nullptr);
        IOHIDDeviceUnscheduleFromRunLoop (device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
        stop = true;
        worker.join();
        CFRelease (manager);
        manager = nullptr;
        ASSERT_EQ (unexpected, 0);
        ASSERT_EQ (fake.openConnectionCount (key), 0);
    }
}

TEST_F (FakeSourceHid, ReleasingTheManagerUnderARetainingSenderMakesItsSendsFail)
{
    const auto key = fake.addDevice (FakeHidSource::qel720 (0x01100000));
    for (int round = 0; round < 200; ++round)
    {
        openManager();
        IOHIDDeviceRef device = devicesOf (manager).at (0);
        CFRetain (device); // the sender's own reference
        std::atomic<bool> done { false };
        std::atomic<int> unexpected { 0 };
        std::thread worker ([&] {
            const auto report = patternReport (2);
            IOReturn result = kIOReturnSuccess;
            while ((result = IOHIDDeviceSetReport (device, kIOHIDReportTypeOutput, 0, report.data(), 64)) == kIOReturnSuccess) {}
            if (result != kIOReturnNotAttached)
                ++unexpected;
            done = true;
        });
        std::this_thread::yield();
        CFRelease (manager);
        manager = nullptr;
        worker.join();
        EXPECT_TRUE (done);
        EXPECT_EQ (unexpected, 0);
        EXPECT_EQ (fake.openConnectionCount (key), 0);
        CFRelease (device);
    }
}
