// The update-file checks, through MainComponent::CheckUpdFile on one component kept for the
// process, on a folder made from the input: names of the update files' set, contents, sizes and
// kinds of file (regular, folder, link to a regular file, FIFO, link to /dev/zero, dangling link).
// A main file of full size is the builder's valid one with version and date bytes from the input
// and, when the input asks, its CRC stored anew, so that the date, version and CRC checks are all
// reached. Each file's verdict is worked out here from what was written, independently of the
// program, and the update table, mask and state word are checked against those verdicts.
#include "FuzzSupport.h"
#include "MainComponent.h"
#include "TempFolder.h"
#include "UpdateFileBuilder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using fuzzsupport::Bytes;

namespace
{
constexpr size_t kMainSize = UpdateFileBuilder::kMainSize, kFields = 0x1D0000;
const char* const kDspNames[] = { "qelc1_dsp_prog.bin", "qelc1_dsp_data.bin", "qelc1_dsp_cymbal_data.bin" };
// Size, offset, device address and target id of each entry whose file is valid.
const juce::int64 kLayout[7][4] = { { 0x90000, 0, 0, 0xF1 },
                                    { 0x90000, 0x90000, 0x90000, 0xF2 },
                                    { 0xB0000, 0x120000, 0x120000, 0xF3 },
                                    { 0x10000, 0x1D0000, 0x1D0000, 0xF7 },
                                    { 0x2E000, 0, 0x120000, 0xF4 },
                                    { 0x20000, 0, 0x160000, 0xF5 },
                                    { 0x40000, 0, 0x180000, 0xF6 } };
constexpr int kUntouched = 0x5A5A;

// CRC-16/XMODEM a byte at a time from a table, left out of the coverage: it runs over the whole
// base image as the process starts.
__attribute__((no_sanitize("coverage"))) std::uint16_t crc16(std::uint16_t crc, const std::uint8_t* data, size_t length)
{
    static const auto table = []
    {
        std::array<std::uint16_t, 256> t{};
        for (int byte = 0; byte < 256; ++byte)
        {
            auto c = (std::uint16_t)(byte << 8);
            for (int bit = 0; bit < 8; ++bit)
                c = (std::uint16_t)(c & 0x8000 ? (c << 1) ^ 0x1021 : c << 1);
            t[(size_t)byte] = c;
        }
        return t;
    }();
    for (size_t i = 0; i < length; ++i)
        crc = (std::uint16_t)(crc << 8 ^ table[(crc >> 8 ^ data[i]) & 0xFF]);
    return crc;
}
const Bytes kBase = UpdateFileBuilder().patternRegions().image();
const std::uint16_t kCrcBeforeFields = crc16(0, kBase.data(), kFields);
constexpr size_t kDate = 0x1DFFFC;

// A CRC over fixed bytes maps the register it starts from linearly, plus a constant: worked out
// once for the base image's bytes between and after the input's fields, so that a main file's
// CRC costs a few steps and not a pass over its last 192 KiB.
struct FixedBytes
{
    std::uint16_t constant;
    std::array<std::uint16_t, 16> columns; // what each bit of the starting register adds
};
FixedBytes fixedBytes(size_t from, size_t to)
{
    FixedBytes run{ crc16(0, kBase.data() + from, to - from), {} };
    for (int bit = 0; bit < 16; ++bit)
        run.columns[(size_t)bit] = crc16((std::uint16_t)(1 << bit), kBase.data() + from, to - from) ^ run.constant;
    return run;
}
std::uint16_t across(const FixedBytes& run, std::uint16_t crc)
{
    auto result = run.constant;
    for (int bit = 0; bit < 16; ++bit)
        result = (std::uint16_t)(crc >> bit & 1 ? result ^ run.columns[(size_t)bit] : result);
    return result;
}
const FixedBytes kBetweenFields = fixedBytes(kFields + 4, kDate), kAfterFields = fixedBytes(kDate + 4, kMainSize - 2);

// The CRC of a main image that differs from the base image in its version and date bytes at most.
std::uint16_t mainCrc(const Bytes& image)
{
    const auto version = crc16(kCrcBeforeFields, image.data() + kFields, 4);
    return across(kAfterFields, crc16(across(kBetweenFields, version), image.data() + kDate, 4));
}

bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// The verdict on a main file of full size, from its bytes: date word bounds (BCD century, year,
// month, day), version "d.dd", then the CRC (of all but its own two bytes) stored low byte first.
int mainVerdict(const Bytes& b, std::uint16_t crc)
{
    const std::uint8_t* date = b.data() + kDate;
    const std::uint8_t* version = b.data() + kFields;
    if (date[0] > 0x20 || date[1] > 0x50 || date[2] > 0x12 || date[3] > 0x31)
        return 0xE04;
    if (!isDigit(version[0]) || version[1] != '.' || !isDigit(version[2]) || !isDigit(version[3]))
        return 0xE04;
    return crc == (b[kMainSize - 2] | b[kMainSize - 1] << 8) ? 1 : 0xE05;
}

std::string nameFrom(FuzzedDataProvider& in)
{
    const int kind = in.ConsumeIntegralInRange(0, 7);
    if (kind < 3)
        return kDspNames[kind];
    if (kind == 3) // only the case differs
        return juce::String(kDspNames[in.ConsumeIntegralInRange(0, 2)]).toUpperCase().toStdString();
    std::string name = kind == 4 ? "qel720V" : "QEL720v";
    for (int i = kind == 5 ? 2 : kind == 7 ? 4 : 3; i > 0; --i) // mostly three in place of the wildcard
        name += "0123456789 +-aZ."[in.ConsumeIntegralInRange(0, 15)];
    return name + (in.ConsumeBool() ? ".bin" : ".BIN");
}

// Not File::replaceWithData, which deletes the file for no bytes.
void write(const std::string& path, const std::uint8_t* bytes, size_t size)
{
    FILE* out = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(out != nullptr && std::fwrite(bytes, 1, size, out) == size && std::fclose(out) == 0);
}

// The files of more than 64 bytes, kept in a store from one input to the next and moved into
// place and back: writing and deleting megabytes for every input would cost more than the check.
// They hold one fill byte whatever the input's, as the program judges a file of another size than
// its name's, and a DSP file, by its size alone; a main file of full size is the base image, with
// the input's fields written in, and the base's written back when it returns to the store.
class LargeFiles
{
public:
    explicit LargeFiles(const juce::File& store) : m_store(store.getFullPathName().toStdString())
    {
        store.createDirectory();
    }

    // A file of that size at path; with size kMainSize, a main file holding image (the base image
    // but for its fields).
    void place(const std::string& path, size_t size, const Bytes& image)
    {
        auto& stored = m_stored[size];
        if (stored.empty())
        {
            static Bytes filled;
            filled.assign(size, 0xA5);
            write(path, size == kMainSize ? kBase.data() : filled.data(), size);
        }
        else
        {
            FUZZ_CHECK(std::rename(stored.back().c_str(), path.c_str()) == 0);
            stored.pop_back();
        }
        if (size == kMainSize)
            writeFields(path, image);
        m_placed.emplace_back(path, size);
    }

    // The files placed since the last call back in the store.
    void takeBack()
    {
        for (const auto& [path, size] : m_placed)
        {
            if (size == kMainSize)
                writeFields(path, kBase);
            m_stored[size].push_back(m_store + "/" + std::to_string(m_count++));
            FUZZ_CHECK(std::rename(path.c_str(), m_stored[size].back().c_str()) == 0);
        }
        m_placed.clear();
    }

private:
    // Version, date and CRC.
    static void writeFields(const std::string& path, const Bytes& image)
    {
        const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        for (const auto& [at, length] : { std::pair{ kFields, 4 }, { kDate, 4 }, { kMainSize - 2, 2 } })
            FUZZ_CHECK(pwrite(fd, image.data() + at, (size_t)length, (off_t)at) == length);
        FUZZ_CHECK(close(fd) == 0);
    }

    std::string m_store;
    std::map<size_t, std::vector<std::string>> m_stored; // by size
    std::vector<std::pair<std::string, size_t>> m_placed;
    int m_count = 0;
};

// Empties a folder an input filled: files, FIFOs, links and empty folders (File::deleteRecursively
// would cost as much as the check).
void empty(const juce::File& folder)
{
    DIR* dir = opendir(folder.getFullPathName().toRawUTF8());
    FUZZ_CHECK(dir != nullptr);
    std::vector<std::pair<std::string, bool>> entries; // name, whether a folder
    while (const dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            entries.emplace_back(entry->d_name, entry->d_type == DT_DIR);
    for (const auto& [name, isFolder] : entries)
        FUZZ_CHECK(unlinkat(dirfd(dir), name.c_str(), isFolder ? AT_REMOVEDIR : 0) == 0);
    closedir(dir);
}

struct Made
{
    int kind;    // regular, link to regular, folder, FIFO, link to /dev/zero, dangling link
    int verdict; // what checking it as the file its name makes it must give
};

// Makes one name of the folder; the targets of links to regular files go to `links`.
Made make(FuzzedDataProvider& in, const std::string& name, const juce::File& folder, const juce::File& links,
          LargeFiles& large)
{
    const auto path = folder.getChildFile(name).getFullPathName().toStdString();
    const int kind = in.ConsumeIntegralInRange(0, 5);
    if (kind > 1)
    {
        kind == 2   ? mkdir(path.c_str(), 0700)
        : kind == 3 ? mkfifo(path.c_str(), 0600)
        : kind == 4 ? symlink("/dev/zero", path.c_str())
                    : symlink(links.getChildFile("absent").getFullPathName().toRawUTF8(), path.c_str());
        return { kind, 0xE02 }; // there, but no regular file
    }
    const auto* dsp = std::find(kDspNames, kDspNames + 3, name);
    const size_t want = dsp == kDspNames + 3 ? kMainSize : (size_t)kLayout[4 + (dsp - kDspNames)][0];
    const size_t sizes[] = { want, want - 1, want + 1, in.ConsumeIntegralInRange<size_t>(0, 64) };
    const size_t size = sizes[in.ConsumeIntegralInRange(0, 3)];
    const auto fill = in.ConsumeIntegral<std::uint8_t>();
    const auto file = (kind == 0 ? folder : links).getChildFile(name).getFullPathName().toStdString();
    int verdict = size == want ? 1 : 0xE03;
    if (size == kMainSize)
    {
        // The base image with the input's fields, in one buffer kept for the process.
        static Bytes image = kBase;
        const auto fields = in.ConsumeBytes<std::uint8_t>(9); // flags (1 version, 2 date, 4 new CRC), version, date
        for (size_t i = 1; i < fields.size(); ++i)
            if (fields[0] & (i < 5 ? 1 : 2))
                image[i < 5 ? kFields + i - 1 : kDate + i - 5] = fields[i];
        const auto crc = mainCrc(image);
        if (!fields.empty() && (fields[0] & 4))
            image[kMainSize - 2] = (std::uint8_t)crc, image[kMainSize - 1] = (std::uint8_t)(crc >> 8);
        verdict = mainVerdict(image, crc);
        large.place(file, kMainSize, image);
        for (const size_t at : { kFields, kDate, kMainSize - 2 }) // version, date, CRC
            std::copy_n(kBase.begin() + (long)at, at == kMainSize - 2 ? 2 : 4, image.begin() + (long)at);
    }
    else if (size > 64)
        large.place(file, size, kBase);
    else
    {
        const Bytes filled(size, fill);
        write(file, filled.data(), size);
    }
    if (kind == 1)
        symlink(file.c_str(), path.c_str());
    return { kind, verdict };
}

// The number a main file's name ranks by (read like atoi), or 0 when the name is not one of the
// set's: "QEL720v", three characters, ".bin", letter case aside.
int rankOf(const std::string& name)
{
    const auto lower = juce::String(name).toLowerCase();
    if (name.size() != 14 || !lower.startsWith("qel720v") || !lower.endsWith(".bin"))
        return 0;
    return std::atoi(name.substr(7, 3).c_str());
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Choices are read from the end, field bytes from the front. A valid main file; one with a new
    // date and its CRC stored anew; the three DSP files; the data file beside a FIFO and a link to
    // /dev/zero; two candidates, the higher with a new version but the old CRC; a folder and a
    // link; the program file beside a dangling link named as the data file.
    const auto seed = [](Bytes fields, Bytes choices)
    { return fields.insert(fields.end(), choices.rbegin(), choices.rend()), fields; };
    fuzzsupport::writeSeedsIfAsked({ seed({}, { 1, 6, 1, 0, 5, 1, 0, 0, 0, 0 }),
                                     seed({ 6, 0, 0, 0, 0, 0x20, 0x24, 0x03, 0x16 }, { 1, 6, 1, 0, 5, 1, 0, 0, 0, 0 }),
                                     seed({}, { 3, 0, 0, 0, 0, 0x11, 1, 0, 0, 0, 0x22, 2, 0, 0, 0, 0x33 }),
                                     seed({}, { 3, 1, 0, 0, 0, 0x22, 0, 3, 2, 4 }),
                                     seed({ 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, '1', '.', '9', '9' },
                                          { 2, 4, 0, 0, 2, 1, 0, 0, 0, 0, 6, 0, 1, 0, 0, 0, 0, 0, 0 }),
                                     seed({}, { 2, 6, 1, 0, 5, 1, 2, 6, 2, 0, 0, 0, 1, 0, 0, 0, 0 }),
                                     seed({}, { 2, 0, 0, 0, 0, 0x44, 1, 5 }) });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static TempFolder root(juce::File("/dev/shm").isDirectory()
                               ? juce::File("/dev/shm") // in memory
                               : juce::File::getSpecialLocation(juce::File::tempDirectory));
    static auto& main = (fuzzsupport::guiWithFakeDevices(), *new MainComponent());
    static LargeFiles large(root.child("store"));
    const auto folder = root.child("folder"), links = root.child("links");
    folder.createDirectory(), links.createDirectory(); // the first time
    large.takeBack();
    empty(folder), empty(links);
    FuzzedDataProvider in(data, size);
    std::map<std::string, Made> made;
    for (int n = in.ConsumeIntegralInRange(0, 5); n > 0; --n)
        if (const auto name = nameFrom(in); made.count(name) == 0)
            made[name] = make(in, name, folder, links, large);

    const UpdateTarget untouched{ root.child("untouched"), -1, -1, -1, kUntouched, 0x5A };
    std::fill(main.m_updTargets, main.m_updTargets + 7, untouched);
    main.m_updMask = 0, main.m_updState = 0;
    main.CheckUpdFile(folder);
    const int state = main.m_updState.load(), mask = main.m_updMask, result = main.m_updTargets[0].m_status;

    // The DSP path is taken when an entry of any DSP name leads to something (a folder included, a
    // dangling link not, though it is then checked as a file that cannot be loaded); the main file
    // is then ignored. Else the candidate of the highest rank above 0 is checked, any of a tie.
    int dspVerdicts[3] = { 0xE01, 0xE01, 0xE01 }, dspMask = 0, rank = 0;
    bool dsp = false;
    std::set<int> mainVerdicts;
    for (const auto& [name, file] : made)
        if (const auto i = std::find(kDspNames, kDspNames + 3, name) - kDspNames; i < 3)
        {
            dsp = dsp || file.kind != 5;
            dspVerdicts[i] = file.verdict;
            dspMask |= file.verdict == 1 ? 1 << i : 0;
        }
        else if (const int r = rankOf(name); r > 0 && file.kind != 2 && r >= rank)
        {
            if (r > rank)
                mainVerdicts.clear(), rank = r;
            mainVerdicts.insert(file.verdict);
        }
    FUZZ_CHECK(dsp == (main.m_updTargets[4].m_status != kUntouched));
    if (dsp)
    {
        for (int i = 0; i < 3; ++i)
            FUZZ_CHECK(main.m_updTargets[4 + i].m_status == dspVerdicts[i]);
        FUZZ_CHECK(mask == dspMask && state == (dspMask != 0 ? 0 : 0xE41) && result == kUntouched);
    }
    else if (mainVerdicts.empty())
        FUZZ_CHECK(result == kUntouched && mask == 0 && state == 0xE01);
    else // a candidate that cannot be found when checked is not "no file"
        FUZZ_CHECK(mainVerdicts.count(result) == 1 && mask == (result == 1 ? 8 : 0) &&
                   state == (result == 1       ? 0
                             : result == 0xE01 ? 0xE41
                                               : result));

    for (int i = 0; i < 7; ++i)
    {
        const auto& t = main.m_updTargets[i];
        struct stat info = {};
        if (i < 4 ? mask == 8 : (mask >> (i - 4) & 1) != 0) // valid: filled per its layout, from a regular file
            FUZZ_CHECK(t.m_status == 1 && t.m_size == kLayout[i][0] && t.m_offset == kLayout[i][1] &&
                       t.m_address == kLayout[i][2] && t.m_targetId == kLayout[i][3] &&
                       t.m_file.getParentDirectory() == folder &&
                       (i >= 4 || (rankOf(t.m_file.getFileName().toStdString()) == rank &&
                                   made.at(t.m_file.getFileName().toStdString()).verdict == 1)) &&
                       stat(t.m_file.getFullPathName().toRawUTF8(), &info) == 0 && S_ISREG(info.st_mode) &&
                       (size_t)info.st_size == (i < 4 ? kMainSize : (size_t)kLayout[i][0]));
        else // untouched but for the check's result
            FUZZ_CHECK(t.m_file == untouched.m_file && t.m_size == -1 && t.m_offset == -1 && t.m_address == -1 &&
                       t.m_targetId == 0x5A && (i >= 4 || t.m_status == result));
    }
    return 0;
}
