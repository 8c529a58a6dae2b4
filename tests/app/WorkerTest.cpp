// The update worker end to end: the real main component and HID layer against the simulated
// QEL-720, from OK to the last command the device receives.
#include "MainComponentFixture.h"
#include "SimulatedQel720.h"
#include "TempFolder.h"
#include "UpdateFileBuilder.h"

#include <AlineButton.h>
#include <HidCtrl.h>
#include <UmockdevHidTestbed.h>

#include <algorithm>

namespace
{
using Fault = SimulatedQel720::Fault;
using Kind = SimulatedQel720::FaultKind;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kFileDate = 0x20240315;
constexpr std::uint8_t kModeQuery = 0x00, kVersionQuery = 0x01, kBeginBlock = 0x02, kDataChunk = 0x03, kChecksum = 0x04,
                       kPoll = 0x05, kFinish = 0x06, kLastLength = 0x07, kPrepare = 0x08;

struct Region
{
    std::uint8_t targetId;
    std::size_t offset, address, size;
};
const Region kMainRegions[] = { { 0xF1, 0x000000, 0x000000, 0x90000 },
                                { 0xF2, 0x090000, 0x090000, 0x90000 },
                                { 0xF3, 0x120000, 0x120000, 0xB0000 },
                                { 0xF7, 0x1D0000, 0x1D0000, 0x10000 } };
const char* const kDspNames[] = { "qelc1_dsp_prog.bin", "qelc1_dsp_data.bin", "qelc1_dsp_cymbal_data.bin" };
const Region kDspRegions[] = { { 0xF4, 0, 0x120000, 0x2E000 },
                               { 0xF5, 0, 0x160000, 0x20000 },
                               { 0xF6, 0, 0x180000, 0x40000 } };
enum Files
{
    kMain,
    kDspData
};

Bytes prefix(const SimulatedQel720::Report& report, int length)
{
    return Bytes(report.begin(), report.begin() + length);
}

// One update: its files, its device and its component.
class Scenario
{
public:
    explicit Scenario(testsupport::FakeHidSource& source) : m_source(source) {}
    ~Scenario()
    {
        m_main.reset();
        unplug();
    }

    void plugIn() { m_key = m_device.attach(m_source); }
    void unplug()
    {
        if (!m_key.empty())
            m_source.removeDevice(m_key);
        m_key.clear();
    }

    Bytes writeMainFile(std::uint32_t date = kFileDate)
    {
        const auto builder = UpdateFileBuilder().patternRegions().date(date).version("1.10");
        builder.write(m_files.child("QEL720v110.bin"));
        return builder.image();
    }

    Bytes writeDsp(int which)
    {
        juce::MemoryBlock data;
        UpdateFileBuilder::writeDsp(m_files.child(kDspNames[which]), kDspRegions[which].size).loadFileAsData(data);
        const auto* bytes = static_cast<const std::uint8_t*>(data.getData());
        return Bytes(bytes, bytes + data.getSize());
    }

    void write(Files files)
    {
        if (files == kMain)
            writeMainFile();
        else
            writeDsp(1);
    }

    MainComponent& build(int replyTimeoutMs = 300)
    {
        m_main = std::make_unique<MainComponent>();
        m_main->setSize(404, 126);
        m_main->m_updateFolder = m_files.file();
        m_main->m_replyTimeoutMs = replyTimeoutMs;
        return *m_main;
    }

    juce::int32 state() const { return m_main->m_updState.load(); }
    bool running() const { return m_main->isThreadRunning(); }
    void pressOk() { m_main->buttonClicked(m_main->m_pOkButton); }

    // OK, and the device checks to their end (state 1, or an error).
    juce::int32 checkDevice()
    {
        pressOk();
        EXPECT_TRUE(MainComponentTest::runUntil([&] { return state() != kStateLanguage || !running(); }));
        return state();
    }

    // OK, Start once the device checks pass, then until the worker ends.
    juce::int32 runUpdate()
    {
        if (checkDevice() == kStateWaitStart)
            pressOk();
        EXPECT_TRUE(MainComponentTest::runUntil([&] { return !running(); }));
        return state();
    }

    bool waitForCommands(std::size_t n)
    {
        return MainComponentTest::runUntil([&] { return m_device.commands().size() >= n; });
    }

    int count(std::uint8_t command) const
    {
        const auto commands = m_device.commands();
        return (int)std::count_if(commands.begin(), commands.end(), [&](auto& c) { return c[1] == command; });
    }

    std::uint8_t lastCommand() const
    {
        const auto commands = m_device.commands();
        return commands.empty() ? 0xFF : commands.back()[1];
    }

    void expectFlashed(const Region& region, const Bytes& file, std::size_t size) const
    {
        const auto flash = m_device.flash(region.targetId);
        const auto start = flash.begin() + (long)region.address;
        EXPECT_TRUE(std::equal(start, start + (long)size, file.begin() + (long)region.offset))
            << "target " << (int)region.targetId;
        EXPECT_TRUE(std::all_of(start + (long)size, start + (long)region.size, [](auto b) { return b == 0xFF; }))
            << "target " << (int)region.targetId << " written beyond " << size;
    }

    testsupport::FakeHidSource& m_source;
    TempFolder m_files;
    SimulatedQel720 m_device;
    std::string m_key;
    std::unique_ptr<MainComponent> m_main;
};

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
          { 0xF1, 0x08, 0, 0, 0x1D, 0, 0xFF, 0, 0, 1, 0 },
          { 0x90000, 0x90000, 0xB0000, 0x10000 } },
        { "same date", kFileDate, { 0xF2, 0x08, 0, 0, 0x1D, 0, 0xFF, 0, 0x10, 0, 0 }, { 0, 0x90000, 0xB0000, 0x1000 } },
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
            s.expectFlashed(kMainRegions[r], file, c.sizes[r]);
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
        int busyPolls;
        int blocks;
    } cases[] = {
        { "data alone, busy twice", { 1 }, 2, 1 },
        { "program and cymbal data", { 0, 2 }, 0, 4 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario s(m_source);
        s.m_device.setBusyPolls(c.busyPolls);
        s.plugIn();
        std::vector<Bytes> contents;
        for (int which : c.files)
            contents.push_back(s.writeDsp(which));
        s.build();

        EXPECT_EQ(s.runUpdate(), kStateFinished);
        EXPECT_EQ(prefix(s.m_device.lastPrepare(), 11),
                  Bytes({ kDspRegions[c.files[0]].targetId, kPrepare, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0 }));
        for (std::size_t i = 0; i < c.files.size(); ++i)
            s.expectFlashed(kDspRegions[c.files[i]], contents[i], kDspRegions[c.files[i]].size);
        EXPECT_EQ(s.m_device.blocksWritten(), c.blocks);
        EXPECT_EQ(s.count(kPoll), c.blocks * (c.busyPolls + 1));
        EXPECT_EQ(s.count(kVersionQuery), 0);
    }
}

// Each failure ends the update with its identifier, and the device gets nothing after it: no
// further command, no finish. A refused chunk still lets the rest of its block go out.
TEST_F(Worker, DeviceFaultsEndTheUpdateWithTheirIdentifierAndNothingAfter)
{
    const struct
    {
        const char* name;
        Files files;
        Fault fault;
        juce::int32 error;
        bool restOfBlock;
    } cases[] = {
        { "mode reason 1", kDspData, { kModeQuery, 1, Kind::Reject, 1 }, 0xE31, false },
        { "mode reason 2", kDspData, { kModeQuery, 1, Kind::Reject, 2 }, 0xE33, false },
        { "mode reason 3", kDspData, { kModeQuery, 1, Kind::Reject, 3 }, 0xE34, false },
        { "mode reason 4", kDspData, { kModeQuery, 1, Kind::Reject, 4 }, 0xE35, false },
        { "mode reason 5", kDspData, { kModeQuery, 1, Kind::Reject, 5 }, 0xE41, false },
        { "mode reason 9", kDspData, { kModeQuery, 1, Kind::Reject, 9 }, 0xE41, false },
        { "mode no reply", kDspData, { kModeQuery, 1, Kind::NoReply }, 0xE36, false },
        { "mode wrong echo", kDspData, { kModeQuery, 1, Kind::WrongEcho }, 0xE41, false },
        { "version refused", kMain, { kVersionQuery, 1, Kind::Reject, 1 }, 0xE41, false },
        { "version no reply", kMain, { kVersionQuery, 1, Kind::NoReply }, 0xE36, false },
        { "version wrong echo", kMain, { kVersionQuery, 1, Kind::WrongEcho }, 0xE41, false },
        { "prepare refused", kDspData, { kPrepare, 1, Kind::Reject, 1 }, 0xE41, false },
        { "prepare no reply", kDspData, { kPrepare, 1, Kind::NoReply }, 0xE36, false },
        { "prepare wrong echo", kDspData, { kPrepare, 1, Kind::WrongEcho }, 0xE41, false },
        { "begin refused", kDspData, { kBeginBlock, 1, Kind::Reject, 1 }, 0xE41, false },
        { "begin no reply", kDspData, { kBeginBlock, 1, Kind::NoReply }, 0xE36, false },
        { "begin wrong echo", kDspData, { kBeginBlock, 1, Kind::WrongEcho }, 0xE41, false },
        { "chunk refused", kDspData, { kDataChunk, 5, Kind::Reject, 1 }, 0xE41, true },
        { "chunk no reply", kDspData, { kDataChunk, 5, Kind::NoReply }, 0xE36, false },
        { "chunk wrong echo", kDspData, { kDataChunk, 5, Kind::WrongEcho }, 0xE41, true },
        { "last length refused", kDspData, { kLastLength, 1, Kind::Reject, 1 }, 0xE41, true },
        { "checksum reason 2", kDspData, { kChecksum, 1, Kind::Reject, 2 }, 0xE33, false },
        { "checksum reason 1", kDspData, { kChecksum, 1, Kind::Reject, 1 }, 0xE41, false },
        { "checksum no reply", kDspData, { kChecksum, 1, Kind::NoReply }, 0xE36, false },
        { "checksum wrong echo", kDspData, { kChecksum, 1, Kind::WrongEcho }, 0xE41, false },
        { "poll reason 3", kDspData, { kPoll, 1, Kind::Reject, 3 }, 0xE34, false },
        { "poll reason 4", kDspData, { kPoll, 1, Kind::Reject, 4 }, 0xE35, false },
        { "poll reason 2", kDspData, { kPoll, 1, Kind::Reject, 2 }, 0xE41, false },
        { "poll no reply", kDspData, { kPoll, 1, Kind::NoReply }, 0xE36, false },
        { "poll wrong echo", kDspData, { kPoll, 1, Kind::WrongEcho }, 0xE41, false },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario s(m_source);
        s.m_device.addFault(c.fault);
        s.plugIn();
        s.write(c.files);
        s.build();

        EXPECT_EQ(s.runUpdate(), c.error);
        EXPECT_FALSE(s.m_device.finished());
        if (c.restOfBlock)
        {
            EXPECT_EQ(s.count(kDataChunk), 2115); // every chunk of the 0x20000 block
            EXPECT_EQ(s.count(kChecksum), 0);
        }
        else
        {
            EXPECT_EQ(s.lastCommand(), c.fault.command);
        }
    }
}

TEST_F(Worker, DeviceVersionOutOfFormIsE11AndNoVersionReadsAsZero)
{
    const struct
    {
        const char* name;
        std::uint32_t date;
        Bytes version;
        juce::int32 state;
    } cases[] = {
        { "century above 20", 0x21000101, { '1', '.', '0', '5' }, 0xE11 },
        { "day above 31", 0x20240132, { '1', '.', '0', '5' }, 0xE11 },
        { "comma for the point", 0x20240101, { '1', ',', '0', '5' }, 0xE11 },
        { "no version", 0x20240101, { 0xFF, 0xFF, 0xFF, 0xFF }, kStateWaitStart },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario s(m_source);
        s.m_device.setVersionBytes(c.date, c.version.data());
        s.plugIn();
        s.writeMainFile();
        s.build();

        EXPECT_EQ(s.checkDevice(), c.state);
        EXPECT_EQ(s.lastCommand(), kVersionQuery);
        if (c.state == kStateWaitStart)
        {
            EXPECT_EQ(s.m_main->m_deviceSysVer, "0.00");
        }
    }
}

// A removal in states 1 to 6 is 0xE37 at once, the worker ends, and nothing is sent after it.
TEST_F(Worker, RemovalDuringTheUpdateIsE37AndEndsIt)
{
    const struct
    {
        const char* name;
        std::uint8_t command; // the device vanishes in place of answering this; 0xFF: while waiting for Start
        int occurrence;
    } cases[] = {
        { "waiting for Start", 0xFF, 1 }, { "prepare", kPrepare, 1 },   { "begin block", kBeginBlock, 1 },
        { "data", kDataChunk, 3 },        { "checksum", kChecksum, 1 }, { "status poll", kPoll, 1 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario s(m_source);
        if (c.command != 0xFF)
            s.m_device.addFault({ c.command, c.occurrence, Kind::Remove });
        s.plugIn();
        s.write(kDspData);
        s.build(10000);

        ASSERT_EQ(s.checkDevice(), kStateWaitStart);
        if (c.command == 0xFF)
            s.unplug();
        else
            s.pressOk();
        EXPECT_TRUE(runUntil([&] { return s.state() == kErrRemoved && !s.running(); }));
        const auto sent = s.m_device.commands().size();
        runUntil([] { return false; }, 50);
        EXPECT_EQ(s.m_device.commands().size(), sent);
        if (c.command != 0xFF)
        {
            EXPECT_EQ(s.lastCommand(), c.command);
        }
    }
}

TEST_F(Worker, RemovalOutsideTheUpdateChangesNothing)
{
    // On the first screen the mode query simply goes unanswered; on the completion screen and an
    // error screen the state stays.
    for (auto fault : { Fault{ kModeQuery, 1, Kind::Remove }, Fault{ 0xFF, 1, Kind::NoReply },
                        Fault{ kChecksum, 1, Kind::Reject, 2 } })
    {
        Scenario s(m_source);
        s.m_device.addFault(fault);
        s.plugIn();
        s.write(kDspData);
        s.build();
        const auto end = s.runUpdate();
        EXPECT_EQ(end, fault.command == kModeQuery  ? kErrTimeout
                       : fault.command == kChecksum ? kErrReason2
                                                    : kStateFinished);
        s.unplug();
        runUntil([&] { return s.m_main->m_pHidCtrl->m_bConnected == 0; });
        EXPECT_EQ(s.state(), end);
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
        std::uint8_t unanswered; // 0xFF: all answered, the worker waits for Start
        juce::int32 state;
        bool deleted; // the component deleted in place of the quit steps
    } cases[] = {
        { "device checks", kModeQuery, kStateLanguage, false },
        { "waiting for Start", 0xFF, kStateWaitStart, false },
        { "prepare", kPrepare, kStatePrepare, false },
        { "begin block", kBeginBlock, kStateBeginBlock, false },
        { "data", kDataChunk, kStateData, false },
        { "checksum", kChecksum, kStateChecksum, false },
        { "status poll", kPoll, kStatePoll, false },
        { "data, component deleted", kDataChunk, kStateData, true },
        { "waiting for Start, component deleted", 0xFF, kStateWaitStart, true },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Scenario s(m_source);
        s.m_device.addFault({ c.unanswered, 1, Kind::NoReply });
        s.plugIn();
        s.write(kDspData);
        s.build(10000);

        s.pressOk();
        if (c.state != kStateLanguage)
        {
            ASSERT_TRUE(runUntil([&] { return s.state() == kStateWaitStart; }));
            if (c.state != kStateWaitStart)
                s.pressOk();
        }
        ASSERT_TRUE(runUntil(
            [&] { return s.state() == c.state && (c.unanswered == 0xFF || s.lastCommand() == c.unanswered); }));
        const auto sent = s.m_device.commands().size();
        if (c.deleted)
        {
            s.m_main.reset();
        }
        else
        {
            s.m_main->QuitSequence();
            EXPECT_FALSE(s.running());
        }
        runUntil([] { return false; }, 50);
        EXPECT_EQ(s.m_device.commands().size(), sent);
        EXPECT_FALSE(s.m_device.finished());
    }
}

TEST_F(Worker, FileGoneOrShortenedBeforeItsBlockIsE32WithNothingOfItSent)
{
    for (bool removed : { true, false })
    {
        SCOPED_TRACE(removed ? "removed" : "shortened");
        Scenario s(m_source);
        s.plugIn();
        s.write(kDspData);
        s.build();
        ASSERT_EQ(s.checkDevice(), kStateWaitStart);
        const auto file = s.m_files.child(kDspNames[1]);
        if (removed)
            file.deleteFile();
        else
            UpdateFileBuilder::writeDsp(file, 0x1000);

        s.pressOk();
        EXPECT_TRUE(runUntil([&] { return !s.running(); }));
        EXPECT_EQ(s.state(), kErrFileOpen);
        EXPECT_EQ(s.lastCommand(), kBeginBlock);
    }
}

// One component at a time: the process has one HID holder.
TEST_F(Worker, OkStartsTheWorkerOnlyWithValidFilesAndTheDeviceConnected)
{
    {
        Scenario absent(m_source);
        absent.write(kDspData);
        absent.build();
        EXPECT_EQ(absent.checkDevice(), kErrNotConnected);
        EXPECT_FALSE(absent.running());
    }
    {
        Scenario broken(m_source); // the file's error, and the device hears nothing
        broken.plugIn();
        UpdateFileBuilder().wrongCrc().write(broken.m_files.child("QEL720v001.bin"));
        broken.build();
        EXPECT_EQ(broken.checkDevice(), kErrFileCrc);
        EXPECT_TRUE(broken.m_device.commands().empty());
    }
    {
        Scenario invalid(m_source); // no valid DSP file: the worker ends at once with 0xE41
        invalid.plugIn();
        UpdateFileBuilder::writeDsp(invalid.m_files.child(kDspNames[1]), 10);
        invalid.build();
        EXPECT_EQ(invalid.runUpdate(), kErrOther);
        EXPECT_TRUE(invalid.m_device.commands().empty());
    }
    {
        Scenario replugged(m_source); // unplugged on the first screen and plugged in again
        replugged.plugIn();
        replugged.write(kDspData);
        replugged.build();
        replugged.unplug();
        ASSERT_TRUE(runUntil([&] { return replugged.m_main->m_pHidCtrl->m_bConnected == 0; }));
        replugged.plugIn();
        ASSERT_TRUE(runUntil([&] { return replugged.m_main->m_pHidCtrl->m_bConnected != 0; }));
        EXPECT_EQ(replugged.checkDevice(), kStateWaitStart);
    }
}

TEST_F(Worker, SecondOkDuringTheDeviceChecksDoesNothing)
{
    Scenario s(m_source);
    s.m_device.addFault({ kModeQuery, 1, Kind::NoReply });
    s.plugIn();
    s.write(kDspData);
    s.build(10000);
    s.pressOk();
    ASSERT_TRUE(s.waitForCommands(1));

    s.m_files.child(kDspNames[1]).deleteFile(); // checking the files again would end in 0xE01
    s.pressOk();
    EXPECT_EQ(s.state(), kStateLanguage);
    EXPECT_EQ(s.m_main->m_updTargets[5].m_status, kStatusValid);
    s.m_main->QuitSequence();
}

// The system's own device source, on an emulated node; the testbed comes before any udev monitor.
TEST(WorkerOnHidraw, MainFileThroughAnEmulatedHidrawNode)
{
    testsupport::UmockdevHidTestbed testbed;
    ASSERT_TRUE(testsupport::UmockdevHidTestbed::available());
    testsupport::FakeHidSource unused;
    Scenario s(unused);
    s.m_device.setVersion(0x20230101, "1.05");
    ASSERT_NE(s.m_device.attach(testbed), 0);
    const auto file = s.writeMainFile();
    s.build();

    EXPECT_EQ(s.runUpdate(), kStateFinished);
    for (const auto& region : kMainRegions)
        s.expectFlashed(region, file, region.size);
    EXPECT_TRUE(s.m_device.finished());
}
