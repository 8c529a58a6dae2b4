#include "MainComponent.h"
#include "TempFolder.h"
#include "UpdateFileBuilder.h"

#include <platform/FileNames.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr int kMainSize = 0x200000;
const char* const kDspNames[] = { "qelc1_dsp_prog.bin", "qelc1_dsp_data.bin", "qelc1_dsp_cymbal_data.bin" };

// Size, file offset, device address and target id of each entry of the update table.
const juce::int64 kEntries[kUpdateTargetCount][4] = {
    { 0x90000, 0, 0, 0xF1 },
    { 0x90000, 0x90000, 0x90000, 0xF2 },
    { 0xB0000, 0x120000, 0x120000, 0xF3 },
    { 0x10000, 0x1D0000, 0x1D0000, 0xF7 },
    { 0x2E000, 0, 0x120000, 0xF4 },
    { 0x20000, 0, 0x160000, 0xF5 },
    { 0x40000, 0, 0x180000, 0xF6 },
};

// Runs the check on a thread of its own, so that a check stuck on a special file fails the test
// instead of hanging it: a reader blocked opening a pipe is let go by opening the pipe's write
// end; one that cannot be let go (reading a device without end) ends the test program.
int parseGuarded(const juce::File& file, int size, unsigned int& date, juce::String& version)
{
    std::packaged_task<int()> task([&] { return MainComponent::ParseUpdFile(file, size, &date, version); });
    auto result = task.get_future();
    std::thread checker(std::move(task));
    if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
    {
        if (const int writer = ::open(file.getFullPathName().toRawUTF8(), O_WRONLY | O_NONBLOCK); writer >= 0)
            ::close(writer);
        if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
        {
            std::fprintf(stderr, "ParseUpdFile is still reading %s\n", file.getFullPathName().toRawUTF8());
            std::_Exit(EXIT_FAILURE);
        }
    }
    checker.join();
    return result.get();
}
// One file checked on its own: what the folder holds under its name, the result, and the date
// word and version text left in the outputs (which start as kUntouched and "keep").
constexpr int kImage = 0, kMissing = 1, kFolder = 2, kZeroDevice = 3, kPipe = 4, kDspData = 5, kLinkToDspData = 6,
              kLinkLoop = 7;
constexpr juce::uint32 kUntouched = 0xDEADBEEF;
struct ParseCase
{
    const char* rule;
    const char* name;
    int result;
    UpdateFileBuilder file;
    int kind = kImage;
    juce::uint32 date = kUntouched;
    const char* version = "keep";
};

void expectResults(const std::vector<ParseCase>& cases)
{
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.rule);
        TempFolder temp;
        const auto file = temp.child(c.name);
        const int size = juce::String(c.name).containsIgnoreCase("dsp") ? 0x20000 : kMainSize;
        const auto path = file.getFullPathName().toStdString();
        const auto make = [&]
        {
            switch (c.kind)
            {
                case kImage: return c.file.write(file).existsAsFile();
                case kMissing: return true;
                case kFolder: return file.createDirectory().wasOk();
                case kZeroDevice: return ::symlink("/dev/zero", path.c_str()) == 0;
                case kPipe: return ::mkfifo(path.c_str(), 0600) == 0;
                case kDspData: return UpdateFileBuilder::writeDsp(file, (size_t)size).existsAsFile();
                case kLinkToDspData:
                    return UpdateFileBuilder::writeDsp(temp.child("elsewhere"), (size_t)size)
                        .createSymbolicLink(file, false);
                case kLinkLoop: return ::symlink(c.name, path.c_str()) == 0;
            }
            return false;
        };
        ASSERT_TRUE(make());

        unsigned int date = kUntouched;
        juce::String version("keep");
        EXPECT_EQ(parseGuarded(file, size, date, version), c.result);
        EXPECT_EQ(date, c.date);
        EXPECT_EQ(version, c.version);
    }
}
} // namespace

TEST(CalcCRC, givesTheXmodemCheckValue)
{
    EXPECT_EQ(MainComponent::CalcCRC(reinterpret_cast<const unsigned char*>("123456789"), 9), 0x31C3);
}

TEST(CheckSysVer, acceptsOnlyDigitPointDigitDigit)
{
    const std::pair<const char*, bool> cases[] = { { "1.23", true },  { "0.00", true },  { "9.99", true },
                                                   { "1.234", true }, { "1,23", false }, { "/.23", false },
                                                   { "a.23", false }, { "1.:3", false }, { "1.2x", false },
                                                   { "1.2", false },  { "", false } };
    for (const auto& [text, valid] : cases)
    {
        juce::String version(text);
        EXPECT_EQ(MainComponent::CheckSysVer(version), valid) << '"' << text << '"';
    }
}

// A folder's files decide the path (DSP files before the main file), the chosen main file (the
// highest number) and the entries filled. Content: valid, invalid (wrong CRC, DSP file one byte
// too long), one byte short, a folder, a link to itself, or a link to nothing.
TEST(CheckUpdFile, choosesAndChecksTheFilesOfTheFolder)
{
    constexpr int ok = 0, bad = 1, cut = 2, dir = 3, loop = 4, nowhere = 5; // what a file holds
    const char *const M = "QEL720v001.bin", *const P = kDspNames[0], *const D = kDspNames[1], *const C = kDspNames[2];
    const struct
    {
        const char* rule;
        std::vector<std::pair<const char*, int>> files;
        int state;
        std::array<int, kUpdateTargetCount> status = {};
    } cases[] = {
        { "empty folder", {}, 0xE01, {} },
        { "highest number wins", { { "QEL720v002.bin", bad }, { "QEL720v010.bin", ok } }, 0, { 1, 1, 1, 1 } },
        { "number 0 or none", { { "QEL720v000.bin", ok }, { "QEL720vabc.bin", ok }, { "QEL720v-12.bin", ok } }, 0xE01 },
        { "read like atoi",
          { { "QEL720v1ab.bin", bad }, { "QEL720v 2x.bin", bad }, { "QEL720v+3_.bin", ok } },
          0,
          { 1, 1, 1, 1 } },
        { "not 3 characters",
          { { "QEL720v01.bin", ok }, { "QEL720v0001.bin", ok }, { "QEL720v005.bin.old", ok } },
          0xE01 },
        { "letter case ignored", { { "qel720V007.BIN", ok } }, 0, { 1, 1, 1, 1 } },
        { "a folder", { { M, dir } }, 0xE01 },
        { "one byte short", { { M, cut } }, 0xE03, { 0xE03, 0xE03, 0xE03, 0xE03 } },
        { "DSP name in upper case", { { "QELC1_DSP_DATA.BIN", ok } }, 0xE01 },
        { "only the data file", { { D, ok } }, 0, { 0, 0, 0, 0, 0xE01, 1, 0xE01 } },
        { "all three beside a main file", { { M, ok }, { P, ok }, { D, ok }, { C, ok } }, 0, { 0, 0, 0, 0, 1, 1, 1 } },
        { "program of the wrong length", { { P, bad }, { D, ok } }, 0, { 0, 0, 0, 0, 0xE03, 1, 0xE01 } },
        { "every present one invalid", { { M, ok }, { D, bad } }, 0xE41, { 0, 0, 0, 0, 0xE01, 0xE03, 0xE01 } },
        { "a folder of the cymbal name", { { C, dir } }, 0xE41, { 0, 0, 0, 0, 0xE01, 0xE01, 0xE02 } },
        { "main file as a link to itself", { { M, loop } }, 0xE02, { 0xE02, 0xE02, 0xE02, 0xE02 } },
        { "main file as a link to nothing", { { M, nowhere } }, 0xE02, { 0xE02, 0xE02, 0xE02, 0xE02 } },
        { "program file as a link to itself", { { P, loop } }, 0xE01 },
        { "program file as a link to nothing", { { P, nowhere } }, 0xE01 },
        { "link to nothing beside a valid main file", { { M, ok }, { D, nowhere } }, 0, { 1, 1, 1, 1 } },
    };
    const auto valid = UpdateFileBuilder().image(), badCrc = UpdateFileBuilder().wrongCrc().image();
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.rule);
        TempFolder temp;
        juce::File mainFile;
        for (const auto& [name, content] : c.files)
        {
            const auto file = temp.child(name);
            const auto dsp =
                std::find_if(std::begin(kDspNames), std::end(kDspNames),
                             [&fileName = name](const char* n) { return juce::String(n).equalsIgnoreCase(fileName); });
            if (content == dir)
                ASSERT_TRUE(file.createDirectory().wasOk());
            else if (content == loop || content == nowhere)
                ASSERT_EQ(::symlink(content == loop ? name : "gone", file.getFullPathName().toRawUTF8()), 0);
            else if (dsp != std::end(kDspNames))
                UpdateFileBuilder::writeDsp(file, (size_t)kEntries[4 + (dsp - kDspNames)][0] + (content == bad));
            else
                file.replaceWithData((content == bad ? badCrc : valid).data(), valid.size() - (content == cut));
            if (content == ok && dsp == std::end(kDspNames))
                mainFile = file;
        }

        MainComponent main;
        main.CheckUpdFile(temp.file());
        EXPECT_EQ(main.m_updState.load(), c.state);
        int mask = 0;
        for (int i = 0; i < kUpdateTargetCount; ++i)
        {
            const auto& t = main.m_updTargets[i];
            const bool filled = c.status[(size_t)i] == 1 && c.state == 0;
            const std::vector<juce::int64> layout(kEntries[i], kEntries[i] + 4);
            mask |= filled ? (i < 4 ? 8 : 1 << (i - 4)) : 0;
            EXPECT_EQ(t.m_status, c.status[(size_t)i]) << "entry " << i;
            EXPECT_EQ(t.m_file, filled ? (i < 4 ? mainFile : temp.child(kDspNames[i - 4])) : juce::File()) << i;
            EXPECT_EQ((std::vector<juce::int64>{ t.m_size, t.m_offset, t.m_address, t.m_targetId }),
                      filled ? layout : std::vector<juce::int64>(4, 0))
                << "entry " << i;
        }
        EXPECT_EQ(main.m_updMask, mask) << "8 for the main file, bit i for DSP file i";
    }
}

TEST(CheckUpdFile, neverReplacesTheRemovalError)
{
    TempFolder temp;
    MainComponent main;
    EXPECT_TRUE(main.SetUpdState(0xE41));
    EXPECT_TRUE(main.SetUpdState(0xE37));
    EXPECT_FALSE(main.SetUpdState(0xE36));
    main.CheckUpdFile(temp.file()); // no file: would be 0xE01
    UpdateFileBuilder().wrongCrc().write(temp.child("QEL720v001.bin"));
    main.CheckUpdFile(temp.file()); // would be 0xE05
    EXPECT_EQ(main.m_updState.load(), 0xE37);
}

// Names in another encoding than UTF-8, as an archive made elsewhere may leave them: the program's
// folder so named (reached as the program reaches its own), and files so named beside the update
// file, among them the forms that JUCE would read as a string end (an overlong NUL, a lead byte
// with nothing after it): it makes room for the bytes before them and copies all. The update file
// is found, and nothing is made of the others.
TEST(CheckUpdFile, findsTheUpdateAmongNamesThatAreNotUtf8)
{
    TempFolder temp;
    const std::string folder = temp.file().getFullPathName().toStdString() + "/Mise \xE0 jour";
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const auto image = UpdateFileBuilder().image();
    for (const char* name : { "QEL720v001.bin",
                              "QEL720v\xC0\x80"
                              "2.bin",
                              "QEL720v\xE0 3.bin", "caf\xE9",
                              "\xE0 and the many bytes after it, which JUCE would copy past what it made room for" })
        std::ofstream(folder + "/" + name, std::ios::binary).write((const char*)image.data(), (long)image.size());

    MainComponent main;
    main.CheckUpdFile(juce::File(platform::folderOf(folder + "/qel720-updater")));
    EXPECT_EQ(main.m_updState.load(), 0);
    EXPECT_EQ(main.m_updMask, 8);
    EXPECT_EQ(main.m_updTargets[0].m_file.getFileName(), "QEL720v001.bin");
}

// The date word and the version text are each stored before they are checked.
TEST(ParseUpdFile, stopsAtTheFirstFailedCheck)
{
    using B = UpdateFileBuilder;
    const char* const M = "QEL720v001.bin";
    constexpr juce::uint32 kDate = 0x20240315; // the builder's
    expectResults({
        { "valid", M, 1, B().date(0x20231231).version("2.05").patternRegions(), kImage, 0x20231231, "2.05" },
        { "date word at its bounds", M, 1, B().date(0x20501231), kImage, 0x20501231, "1.23" },
        { "date word of zeros", M, 1, B().date(0), kImage, 0, "1.23" },
        { "date nibbles unchecked", M, 1, B().date(0x1F4F0A1F), kImage, 0x1F4F0A1F, "1.23" },
        { "missing", M, 0xE01, {}, kMissing },
        { "folder", M, 0xE02, {}, kFolder },
        { "one byte short", M, 0xE03, B().size(kMainSize - 1) },
        { "4096 bytes long", M, 0xE03, B().size(kMainSize + 4096) },
        { "century above 0x20", M, 0xE04, B().date(0x21000101), kImage, 0x21000101 },
        { "year above 0x50", M, 0xE04, B().date(0x20510101), kImage, 0x20510101 },
        { "month above 0x12", M, 0xE04, B().date(0x20231301), kImage, 0x20231301 },
        { "day above 0x31", M, 0xE04, B().date(0x20231232), kImage, 0x20231232 },
        { "comma for the point", M, 0xE04, B().version("1,23"), kImage, kDate, "1,23" },
        { "DSP name in upper case", "QELC1_DSP_DATA.BIN", 0xE04, {}, kDspData },
        { "wrong CRC", M, 0xE05, B().wrongCrc(), kImage, kDate, "1.23" },
        { "CRC high byte first", M, 0xE05, B().crcHighByteFirst(), kImage, kDate, "1.23" },
        { "bit flipped at 0", M, 0xE05, B().flip(0), kImage, kDate, "1.23" },
        { "bit flipped in region 2", M, 0xE05, B().flip(0x123456), kImage, kDate, "1.23" },
        { "bit flipped after region 3", M, 0xE05, B().flip(0x1E0000), kImage, kDate, "1.23" },
        { "bit flipped before the CRC", M, 0xE05, B().flip(0x1FFFFD), kImage, kDate, "1.23" },
    });
}

// A device or a pipe reports a size of 0 whatever it holds: it is refused unopened, as a file
// that cannot be loaded, and so is a link that leads round in a loop; a link to a regular file is
// read.
TEST(ParseUpdFile, readsOnlyRegularFiles)
{
    const char *const M = "QEL720v001.bin", *const D = "qelc1_dsp_data.bin";
    expectResults({
        { "main file linked to /dev/zero", M, 0xE02, {}, kZeroDevice },
        { "main file as a pipe", M, 0xE02, {}, kPipe },
        { "DSP file linked to /dev/zero", D, 0xE02, {}, kZeroDevice },
        { "DSP file as a pipe", D, 0xE02, {}, kPipe },
        { "main file as a link to itself", M, 0xE02, {}, kLinkLoop },
        { "DSP file as a link to itself", D, 0xE02, {}, kLinkLoop },
        { "DSP file linked to a valid one", D, 1, {}, kLinkToDspData },
    });
}
