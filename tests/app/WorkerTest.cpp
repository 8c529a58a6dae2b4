// The update worker end to end: the real main component and HID layer against the simulated
// QEL-720, from OK to the last command the device receives.
#include "MainComponentFixture.h"
#include "UpdateFileBuilder.h"

#include <HidCtrl.h>
#include <HidrawConnection.h>
#include <UmockdevHidTestbed.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using Fault = SimulatedQel720::Fault;
using Kind = SimulatedQel720::FaultKind;
using Bytes = Scenario::Bytes;

constexpr std::uint8_t kModeQuery = 0x00, kVersionQuery = 0x01, kBeginBlock = 0x02, kDataChunk = 0x03, kChecksum = 0x04,
                       kPoll = 0x05, kFinish = 0x06, kLastLength = 0x07, kPrepare = 0x08, kNone = 0xFF;
const Fault kNoFault{ kNone, 1, Kind::NoReply };

struct Region
{
    std::uint8_t targetId;
    std::size_t offset, size;
};
const Region kMainRegions[] = {
    { 0xF1, 0x000000, 0x90000 }, { 0xF2, 0x090000, 0x90000 }, { 0xF3, 0x120000, 0xB0000 }, { 0xF7, 0x1D0000, 0x10000 }
};
const std::size_t kDspAddresses[] = { 0x120000, 0x160000, 0x180000 };

Bytes prefix(const SimulatedQel720::Report& report, int length)
{
    return Bytes(report.begin(), report.begin() + length);
}

using Worker = MainComponentTest;
} // namespace

TEST_F(Worker, MainFileGoesOutByteForByteAndRegionZeroOfTheSameDateStaysOut)
{
    const struct
    {
        const char* name;
        std::uint32_t deviceDate;
        Bytes prepare;
        std::size_t sizes[4];
    } cases[] = {
        { "other date",
          0x20230101,
          { 0xF1, 8, 0, 0, 0x1D, 0, 0xFF, 0, 0, 1, 0 },
          { 0x90000, 0x90000, 0xB0000, 0x10000 } },
        { "same date",
          Scenario::kFileDate,
          { 0xF2, 8, 0, 0, 0x1D, 0, 0xFF, 0, 0x10, 0, 0 },
          { 0, 0x90000, 0xB0000, 0x1000 } },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario s(m_source);
        s.m_device.setVersion(c.deviceDate, "1.05");
        s.plugIn();
        const auto file = s.writeMainFile();
        s.build();

        EXPECT_EQ(s.runUpdate(), kStateFinished);
        EXPECT_EQ(s.m_main->m_deviceSysVer, "1.05");
        EXPECT_EQ(prefix(s.m_device.lastPrepare(), 11), c.prepare);
        for (int r = 0; r < 4; ++r)
        {
            const auto& region = kMainRegions[r];
            EXPECT_TRUE(s.holds(region.targetId, region.offset, file, region.offset, c.sizes[r], region.size)) << r;
        }
        const Bytes secondBlockOfRegion1{ 0xF2, 0x02, 0x00, 0x00, 0x0B, 0x00, 0xFF, 0x00, 0x00, 0x02, 0x00 };
        const auto commands = s.m_device.commands();
        EXPECT_TRUE(std::any_of(commands.begin(), commands.end(),
                                [&](auto& command) { return prefix(command, 11) == secondBlockOfRegion1; }));
        Bytes finish(64, 0);
        finish[0] = 0xF0;
        finish[1] = kFinish;
        EXPECT_EQ(prefix(commands.back(), 64), finish);
        EXPECT_EQ(s.m_main->m_workerProgress.load(), 1.0);
    }
}

TEST_F(Worker, DspFilesGoOutAloneOrTogetherAndBusyPollsAreRepeated)
{
    const struct
    {
        const char* name;
        std::vector<int> files;
        int busyPolls, blocks;
        int lateModeReplyMs = 0; // a device that takes its time, within the program's own time-out
    } cases[] = { { "data alone, busy twice", { 1 }, 2, 1 },
                  { "program and cymbal data", { 0, 2 }, 0, 4 },
                  { "mode reply after 2 s", { 1 }, 0, 1, 2000 } };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario s(m_source);
        s.m_device.setBusyPolls(c.busyPolls);
        if (c.lateModeReplyMs > 0)
            s.m_device.addFault({ kModeQuery, 1, Kind::NoReply }); // the test answers it
        s.plugIn();
        std::vector<Bytes> contents;
        for (int which : c.files)
            contents.push_back(s.writeDsp(which));
        s.build();

        if (c.lateModeReplyMs > 0)
        {
            s.pressOk();
            ASSERT_TRUE(runUntil([&] { return s.count(kModeQuery) == 1; }));
            runUntil([] { return false; }, c.lateModeReplyMs);
            s.m_device.injectReport({ 0xF0, 0x80 });
        }
        EXPECT_EQ(s.runUpdate(), kStateFinished); // a second OK during the device checks does nothing
        EXPECT_EQ(prefix(s.m_device.lastPrepare(), 11),
                  Bytes({ std::uint8_t(0xF4 + c.files[0]), kPrepare, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0 }));
        for (std::size_t i = 0; i < c.files.size(); ++i)
        {
            const auto id = std::uint8_t(0xF4 + c.files[i]);
            EXPECT_TRUE(s.holds(id, kDspAddresses[c.files[i]], contents[i], 0, contents[i].size(), contents[i].size()));
        }
        EXPECT_EQ(s.m_device.blocksWritten(), c.blocks);
        EXPECT_EQ(s.count(kPoll), c.blocks * (c.busyPolls + 1));
        EXPECT_EQ(s.count(kVersionQuery), 0);
    }
}

// Each failure ends the update with its identifier, and the device gets nothing after it, not even
// finish. A refused chunk still lets the rest of its block go out, and then nothing.
TEST_F(Worker, FailuresEndTheUpdateWithTheirIdentifierAndNothingAfter)
{
    const struct
    {
        const char* name;
        bool mainFile;
        Fault fault;
        juce::int32 error;
        bool restOfBlock = false;
        std::uint32_t deviceDate = 0x20230101;
        const char* deviceVersion = "1.05";
    } cases[] = {
        { "mode reason 1", false, { kModeQuery, 1, Kind::Reject, 1 }, 0xE31 },
        { "mode reason 2", false, { kModeQuery, 1, Kind::Reject, 2 }, 0xE33 },
        { "mode reason 3", false, { kModeQuery, 1, Kind::Reject, 3 }, 0xE34 },
        { "mode reason 4", false, { kModeQuery, 1, Kind::Reject, 4 }, 0xE35 },
        { "mode reason 5", false, { kModeQuery, 1, Kind::Reject, 5 }, 0xE41 },
        { "mode reason 9", false, { kModeQuery, 1, Kind::Reject, 9 }, 0xE41 },
        { "mode no reply", false, { kModeQuery, 1, Kind::NoReply }, 0xE36 },
        { "mode wrong echo", false, { kModeQuery, 1, Kind::WrongEcho }, 0xE41 },
        { "version refused", true, { kVersionQuery, 1, Kind::Reject, 1 }, 0xE41 },
        { "version no reply", true, { kVersionQuery, 1, Kind::NoReply }, 0xE36 },
        { "version wrong echo", true, { kVersionQuery, 1, Kind::WrongEcho }, 0xE41 },
        { "device century above 20", true, kNoFault, 0xE11, false, 0x21000101 },
        { "device day above 31", true, kNoFault, 0xE11, false, 0x20240132 },
        { "device version with a comma", true, kNoFault, 0xE11, false, 0x20240101, "1,05" },
        { "prepare refused", false, { kPrepare, 1, Kind::Reject, 1 }, 0xE41 },
        { "prepare no reply", false, { kPrepare, 1, Kind::NoReply }, 0xE36 },
        { "prepare wrong echo", false, { kPrepare, 1, Kind::WrongEcho }, 0xE41 },
        { "begin refused", false, { kBeginBlock, 1, Kind::Reject, 1 }, 0xE41 },
        { "begin no reply", false, { kBeginBlock, 1, Kind::NoReply }, 0xE36 },
        { "begin wrong echo", false, { kBeginBlock, 1, Kind::WrongEcho }, 0xE41 },
        { "chunk refused", false, { kDataChunk, 5, Kind::Reject, 1 }, 0xE41, true },
        { "chunk no reply", false, { kDataChunk, 5, Kind::NoReply }, 0xE36 },
        { "chunk wrong echo", false, { kDataChunk, 5, Kind::WrongEcho }, 0xE41, true },
        { "last length refused", false, { kLastLength, 1, Kind::Reject, 1 }, 0xE41, true },
        { "checksum reason 2", false, { kChecksum, 1, Kind::Reject, 2 }, 0xE33 },
        { "checksum reason 1", false, { kChecksum, 1, Kind::Reject, 1 }, 0xE41 },
        { "checksum no reply", false, { kChecksum, 1, Kind::NoReply }, 0xE36 },
        { "checksum wrong echo", false, { kChecksum, 1, Kind::WrongEcho }, 0xE41 },
        { "poll reason 3", false, { kPoll, 1, Kind::Reject, 3 }, 0xE34 },
        { "poll reason 4", false, { kPoll, 1, Kind::Reject, 4 }, 0xE35 },
        { "poll reason 2", false, { kPoll, 1, Kind::Reject, 2 }, 0xE41 },
        { "poll no reply", false, { kPoll, 1, Kind::NoReply }, 0xE36 },
        { "poll wrong echo", false, { kPoll, 1, Kind::WrongEcho }, 0xE41 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario s(m_source);
        s.m_device.addFault(c.fault);
        s.m_device.setVersion(c.deviceDate, c.deviceVersion);
        s.plugIn();
        c.mainFile ? s.writeMainFile() : s.writeDsp(1);
        s.build(c.error == kErrTimeout ? 300 : 10000);

        EXPECT_EQ(s.runUpdate(), c.error);
        EXPECT_FALSE(s.m_device.finished());
        if (c.restOfBlock)
        {
            EXPECT_EQ(s.count(kDataChunk), 2115); // every chunk of the 0x20000 block
            EXPECT_EQ(s.count(kChecksum), 0);
        }
        else
        {
            EXPECT_EQ(s.lastCommand(), c.fault.command == kNone ? kVersionQuery : c.fault.command);
        }
    }
}

TEST_F(Worker, DeviceWithoutVersionReadsAsZeroZeroZero)
{
    Scenario s(m_source);
    const std::uint8_t none[] = { 0xFF, 0xFF, 0xFF, 0xFF };
    s.m_device.setVersionBytes(0x20240101, none);
    s.plugIn();
    s.writeMainFile();
    s.build();
    EXPECT_EQ(s.checkDevice(), kStateWaitStart);
    EXPECT_EQ(s.m_main->m_deviceSysVer, "0.00");
}

// A removal in states 1 to 6 is 0xE37 at once and ends the worker; nothing is sent after it. On
// the first screen the mode query simply goes unanswered; after the finish and on an error screen
// the state stays.
TEST_F(Worker, RemovalBreaksOnlyAnUpdateUnderWay)
{
    const struct
    {
        const char* name;
        Fault fault;       // the device vanishes in place of answering (kNone: unplugged at the end)
        bool start;        // Start pressed
        juce::int32 state; // where it ends
    } cases[] = {
        { "waiting for Start", kNoFault, false, kErrRemoved },
        { "prepare", { kPrepare, 1, Kind::Remove }, true, kErrRemoved },
        { "begin block", { kBeginBlock, 1, Kind::Remove }, true, kErrRemoved },
        { "data", { kDataChunk, 3, Kind::Remove }, true, kErrRemoved },
        { "checksum", { kChecksum, 1, Kind::Remove }, true, kErrRemoved },
        { "status poll", { kPoll, 1, Kind::Remove }, true, kErrRemoved },
        { "first screen", { kModeQuery, 1, Kind::Remove }, false, kErrTimeout },
        { "complete", kNoFault, true, kStateFinished },
        { "error screen", { kChecksum, 1, Kind::Reject, 2 }, true, kErrReason2 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario s(m_source);
        s.m_device.addFault(c.fault);
        s.plugIn();
        s.writeDsp(1);
        s.build(c.state == kErrTimeout ? 300 : 10000);

        if (s.checkDevice() == kStateWaitStart && c.start)
        {
            s.pressOk();
            EXPECT_TRUE(runUntil([&] { return s.state() == c.state || !s.running(); }));
        }
        s.unplug();
        EXPECT_TRUE(runUntil([&] { return s.m_main->m_pHidCtrl->m_bConnected == 0 && !s.running(); }));
        const auto sent = s.m_device.commands().size();
        runUntil([] { return false; }, 50);
        EXPECT_EQ(s.state(), c.state);
        EXPECT_EQ(s.m_device.commands().size(), sent);
        if (c.fault.kind == Kind::Remove)
        {
            EXPECT_EQ(s.lastCommand(), c.fault.command);
        }
    }
}

// Quitting wakes and stops the worker wherever it waits; the device gets no finish and nothing
// more. The framework's own quit deletes the window without the quit steps: the component stops
// the worker before it deletes what the worker uses.
TEST_F(Worker, QuitInEveryStateStopsTheWorkerAndSendsNothingMore)
{
    const struct
    {
        const char* name;
        std::uint8_t unanswered; // kNone: all answered, the worker waits for Start or in a pause
        juce::int32 state;
        bool deleted = false; // the component deleted in place of the quit steps
    } cases[] = {
        { "device checks", kModeQuery, kStateLanguage },
        { "waiting for Start", kNone, kStateWaitStart },
        { "prepare", kPrepare, kStatePrepare },
        { "begin block", kBeginBlock, kStateBeginBlock },
        { "data", kDataChunk, kStateData },
        { "checksum", kChecksum, kStateChecksum },
        { "status poll", kPoll, kStatePoll },
        { "pause between checksum and status poll", kNone, kStatePoll },
        { "data, component deleted", kDataChunk, kStateData, true },
        { "waiting for Start, component deleted", kNone, kStateWaitStart, true },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario s(m_source);
        s.m_device.addFault({ c.unanswered, 1, Kind::NoReply });
        const bool betweenSteps = c.state == kStatePoll && c.unanswered == kNone;
        s.plugIn();
        s.writeDsp(1);
        s.build();
        if (betweenSteps)
            s.m_main->m_pollPauseMs = 60000; // the quit lands in the pause before the first poll

        s.pressOk();
        if (c.state != kStateLanguage)
        {
            ASSERT_TRUE(runUntil([&] { return s.state() == kStateWaitStart; }));
            if (c.state != kStateWaitStart)
                s.pressOk();
        }
        ASSERT_TRUE(runUntil(
            [&] { return s.state() == c.state && (c.unanswered == kNone || s.lastCommand() == c.unanswered); }));
        if (betweenSteps)
            runUntil([] { return false; }, 100); // the worker, with state 6 set, goes into its pause
        const auto sent = s.m_device.commands().size();
        if (c.deleted)
            s.m_main.reset();
        else
            s.m_main->QuitSequence();
        EXPECT_TRUE(c.deleted || !s.running());
        runUntil([] { return false; }, 50);
        EXPECT_EQ(s.m_device.commands().size(), sent);
        EXPECT_FALSE(s.m_device.finished());
    }
}

// The quit lands in the pause after the last block's "block done": the worker, held at the top of
// its next turn (each turn takes the draw lock to ask for a redraw), must not send finish after it.
TEST_F(Worker, QuitJustAfterTheLastBlockIsDoneSendsNoFinish)
{
    Scenario s(m_source);
    s.m_device.addFault({ kPoll, 2, Kind::NoReply }); // the test answers the last block's poll itself
    s.plugIn();
    s.writeDsp(2); // two blocks, and the last entry of the table
    s.build();
    ASSERT_EQ(s.checkDevice(), kStateWaitStart);
    s.pressOk();
    ASSERT_TRUE(runUntil([&] { return s.count(kPoll) == 2; }));
    const auto sent = s.m_device.commands().size();
    {
        const juce::ScopedLock held(s.m_main->m_drawLock);
        s.m_device.injectReport({ 0xF6, 0x85 });
        EXPECT_TRUE(runUntil([&] { return s.state() == kStateBeginBlock; }));
        s.m_main->signalThreadShouldExit(); // the quit's first step; the rest waits for the worker
    }
    s.m_main->QuitSequence();
    EXPECT_EQ(s.m_device.commands().size(), sent);
    EXPECT_FALSE(s.m_device.finished());
    EXPECT_EQ(s.state(), kStateBeginBlock); // 7 would say that the finish went out
}

// The file is read again for each block: one that has gone, is too short, or has become a pipe (as
// a file on a stalled network mount, whose open would hang the worker beyond any stop) ends the
// update at once, with nothing of that block sent.
TEST_F(Worker, FileGoneShortenedOrAPipeBeforeItsBlockIsE32WithNothingOfItSent)
{
    const struct
    {
        const char* name;
        bool secondBlock; // changed after the first block, else before Start
        std::function<bool(const juce::File&)> change;
    } cases[] = {
        { "removed", false, [](const juce::File& file) { return file.deleteFile(); } },
        { "shortened", false,
          [](const juce::File& file) { return UpdateFileBuilder::writeDsp(file, 0x1000).existsAsFile(); } },
        { "a pipe between two blocks", true,
          [](const juce::File& file)
          { return file.deleteFile() && ::mkfifo(file.getFullPathName().toRawUTF8(), 0600) == 0; } },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario s(m_source);
        if (c.secondBlock)
            s.m_device.addFault({ kPoll, 1, Kind::NoReply }); // the test answers the first block's poll
        s.plugIn();
        s.writeDsp(0); // two blocks
        s.build();
        ASSERT_EQ(s.checkDevice(), kStateWaitStart);
        const auto file = s.m_files.child(Scenario::kDspNames[0]);
        if (c.secondBlock)
        {
            s.pressOk();
            ASSERT_TRUE(runUntil([&] { return s.count(kPoll) == 1; }));
        }
        ASSERT_TRUE(c.change(file));
        c.secondBlock ? s.m_device.injectReport({ 0xF4, 0x85 }) : s.pressOk();

        EXPECT_TRUE(runUntil([&] { return !s.running(); }));
        if (const int writer = ::open(file.getFullPathName().toRawUTF8(), O_WRONLY | O_NONBLOCK); writer >= 0)
            ::close(writer); // lets a worker stuck opening the pipe go, so that this test can end
        EXPECT_EQ(s.state(), kErrFileOpen);
        EXPECT_EQ(s.lastCommand(), kBeginBlock);
        EXPECT_EQ(s.count(kBeginBlock), c.secondBlock ? 2 : 1);
    }
}

TEST_F(Worker, OkStartsTheWorkerOnlyWithValidFilesAndTheDeviceConnected)
{
    const struct
    {
        const char* name;
        bool device, replug;
        std::function<void(Scenario&)> files;
        juce::int32 state;
    } cases[] = {
        { "no device", false, false, [](Scenario& s) { s.writeDsp(1); }, kErrNotConnected },
        { "broken main file", true, false,
          [](Scenario& s) { UpdateFileBuilder().wrongCrc().write(s.m_files.child("QEL720v001.bin")); }, kErrFileCrc },
        { "no valid DSP file", true, false,
          [](Scenario& s) { UpdateFileBuilder::writeDsp(s.m_files.child(Scenario::kDspNames[1]), 10); }, kErrOther },
        { "unplugged and plugged in again", true, true, [](Scenario& s) { s.writeDsp(1); }, kStateWaitStart },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario s(m_source);
        if (c.device)
            s.plugIn();
        c.files(s);
        s.build();
        if (c.replug)
        {
            s.unplug();
            ASSERT_TRUE(runUntil([&] { return s.m_main->m_pHidCtrl->m_bConnected == 0; }));
            s.plugIn();
            ASSERT_TRUE(runUntil([&] { return s.m_main->m_pHidCtrl->m_bConnected != 0; }));
        }
        EXPECT_EQ(s.checkDevice(), c.state);
        EXPECT_TRUE(runUntil([&] { return !s.running() || s.state() == kStateWaitStart; }));
        EXPECT_EQ(s.m_device.commands().empty(), c.state != kStateWaitStart);
    }
}

TEST_F(Worker, SecondOkDuringTheDeviceChecksDoesNothing)
{
    Scenario s(m_source);
    s.m_device.addFault({ kModeQuery, 1, Kind::NoReply });
    s.plugIn();
    s.writeDsp(1);
    s.build();
    s.pressOk();
    ASSERT_TRUE(runUntil([&] { return s.m_device.commands().size() == 1; }));

    s.m_files.child(Scenario::kDspNames[1]).deleteFile(); // checking the files again would end in 0xE01
    s.pressOk();
    EXPECT_EQ(s.state(), kStateLanguage);
    EXPECT_EQ(s.m_main->m_updTargets[5].m_status, kStatusValid);
    s.m_main->QuitSequence();
}

// The system's own device source, on an emulated node; the testbed comes before any udev monitor.
// A DSP file: each exchange through the node wakes three threads, and the main file's 31,000
// exchanges take half a minute on a busy machine.
TEST(WorkerOnHidraw, DspFileThroughAnEmulatedHidrawNode)
{
    testsupport::UmockdevHidTestbed testbed;
    ASSERT_TRUE(testsupport::UmockdevHidTestbed::available());
    testsupport::FakeHidSource unused;
    Scenario s(unused);
    const auto id = s.m_device.attach(testbed);
    ASSERT_NE(id, 0);
    const auto file = s.writeDsp(1);
    s.build();

    EXPECT_EQ(s.runUpdate(), kStateFinished);
    ASSERT_TRUE(testbed.waitForSentReports(id)); // finish has no reply to wait for
    EXPECT_TRUE(s.holds(0xF5, kDspAddresses[1], file, 0, file.size(), file.size()));
    EXPECT_EQ(s.lastCommand(), kFinish);
}

// One device, one program: while the program's link holds the node no other open gets it, and it
// lets go with the link. A node another program holds is a device this one cannot open: OK finds
// none connected, and the line on stderr says why without sending the user to the udev rule.
TEST(WorkerOnHidraw, ANodeHeldByAnotherProgramIsNotConnected)
{
    testsupport::UmockdevHidTestbed testbed;
    ASSERT_TRUE(testsupport::UmockdevHidTestbed::available());
    testsupport::FakeHidSource unused;
    Scenario s(unused);
    const auto node = testbed.nodePath(s.m_device.attach(testbed));
    s.writeDsp(1);
    s.build();
    ASSERT_EQ(s.m_main->m_pHidCtrl->m_bConnected, 1);
    platform::HidOpenError error;
    EXPECT_EQ(platform::HidrawConnection::open(node, error), nullptr) << "two programs hold the node";
    s.m_main.reset();
    const auto otherProgram = platform::HidrawConnection::open(node, error);
    ASSERT_NE(otherProgram, nullptr) << "the link kept the node: " << error.reason;

    testing::internal::CaptureStderr();
    s.build();
    const auto said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(s.checkDevice(), kErrNotConnected);
    EXPECT_NE(said.find("): in use by another program. Quit the other program"), std::string::npos) << said;
    EXPECT_EQ(said.find("udev"), std::string::npos) << said;
    EXPECT_TRUE(s.m_device.commands().empty());
}
