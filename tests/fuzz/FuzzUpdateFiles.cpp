// The update-file checks, through MainComponent::CheckUpdFile on one component kept for the
// process, on a folder made from the input: names of the update files' set, contents, sizes and
// kinds of file (regular, folder, link to a regular file, FIFO, link to /dev/zero). A main file of
// full size is the builder's valid one with version and date bytes from the input and, when the
// input asks, its CRC stored anew, so that the date, version and CRC checks are all reached.
#include "FuzzSupport.h"
#include "MainComponent.h"
#include "TempFolder.h"
#include "UpdateFileBuilder.h"

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

std::uint16_t crc16(std::uint16_t crc, const std::uint8_t* data, size_t length) // XMODEM, byte by byte
{
    for (size_t i = 0; i < length; ++i)
    {
        crc ^= (std::uint16_t)(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (std::uint16_t)(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}
const Bytes kBase = UpdateFileBuilder().patternRegions().image();
const std::uint16_t kCrcBeforeFields = crc16(0, kBase.data(), kFields);

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

// Makes one name of the folder; the targets of links to regular files go to `links`.
void make(FuzzedDataProvider& in, const std::string& name, const juce::File& folder, const juce::File& links)
{
    const auto path = folder.getChildFile(name).getFullPathName().toStdString();
    const int kind = in.ConsumeIntegralInRange(0, 4); // regular, link to regular, folder, FIFO, link to /dev/zero
    if (kind > 1)
        return (void)(kind == 2   ? mkdir(path.c_str(), 0700)
                      : kind == 3 ? mkfifo(path.c_str(), 0600)
                                  : symlink("/dev/zero", path.c_str()));
    const auto* dsp = std::find(kDspNames, kDspNames + 3, name);
    const size_t want = dsp == kDspNames + 3 ? kMainSize : (size_t)kLayout[4 + (dsp - kDspNames)][0];
    const size_t sizes[] = { want, want - 1, want + 1, in.ConsumeIntegralInRange<size_t>(0, 64) };
    Bytes bytes(sizes[in.ConsumeIntegralInRange(0, 3)], in.ConsumeIntegral<std::uint8_t>());
    if (bytes.size() == kMainSize)
    {
        bytes = kBase;
        const auto fields = in.ConsumeBytes<std::uint8_t>(9); // flags (1 version, 2 date, 4 new CRC), version, date
        for (size_t i = 1; i < fields.size(); ++i)
            if (fields[0] & (i < 5 ? 1 : 2))
                bytes[i < 5 ? kFields + i - 1 : 0x1DFFFC + i - 5] = fields[i];
        const auto crc = crc16(kCrcBeforeFields, bytes.data() + kFields, kMainSize - 2 - kFields);
        if (!fields.empty() && (fields[0] & 4))
            bytes[kMainSize - 2] = (std::uint8_t)crc, bytes[kMainSize - 1] = (std::uint8_t)(crc >> 8);
    }
    const auto file = (kind == 0 ? folder : links).getChildFile(name).getFullPathName().toStdString();
    if (FILE* out = std::fopen(file.c_str(), "wb")) // not File::replaceWithData, which deletes for no bytes
        std::fwrite(bytes.data(), 1, bytes.size(), out), std::fclose(out);
    if (kind == 1)
        symlink(file.c_str(), path.c_str());
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Choices are read from the end, field bytes from the front. A valid main file; one with a new
    // date and its CRC stored anew; the three DSP files; the data file beside a FIFO and a link to
    // /dev/zero; two candidates, the higher with a new version but the old CRC; a folder and a link.
    const auto seed = [](Bytes fields, Bytes choices)
    { return fields.insert(fields.end(), choices.rbegin(), choices.rend()), fields; };
    fuzzsupport::writeSeedsIfAsked({ seed({}, { 1, 6, 1, 0, 5, 1, 0, 0, 0, 0 }),
                                     seed({ 6, 0, 0, 0, 0, 0x20, 0x24, 0x03, 0x16 }, { 1, 6, 1, 0, 5, 1, 0, 0, 0, 0 }),
                                     seed({}, { 3, 0, 0, 0, 0, 0x11, 1, 0, 0, 0, 0x22, 2, 0, 0, 0, 0x33 }),
                                     seed({}, { 3, 1, 0, 0, 0, 0x22, 0, 3, 2, 4 }),
                                     seed({ 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, '1', '.', '9', '9' },
                                          { 2, 4, 0, 0, 2, 1, 0, 0, 0, 0, 6, 0, 1, 0, 0, 0, 0, 0, 0 }),
                                     seed({}, { 2, 6, 1, 0, 5, 1, 2, 6, 2, 0, 0, 0, 1, 0, 0, 0, 0 }) });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static TempFolder root;
    static auto& main = (fuzzsupport::guiWithFakeDevices(), *new MainComponent());
    const auto folder = root.child("folder"), links = root.child("links");
    folder.deleteRecursively(), links.deleteRecursively(), folder.createDirectory(), links.createDirectory();
    FuzzedDataProvider in(data, size);
    std::set<std::string> names;
    for (int n = in.ConsumeIntegralInRange(0, 5); n > 0; --n)
        if (const auto name = nameFrom(in); names.insert(name).second)
            make(in, name, folder, links);

    const UpdateTarget untouched{ root.child("untouched"), -1, -1, -1, kUntouched, 0x5A };
    std::fill(main.m_updTargets, main.m_updTargets + 7, untouched);
    main.m_updMask = 0, main.m_updState = 0;
    main.CheckUpdFile(folder);

    const int state = main.m_updState.load(), mask = main.m_updMask, result = main.m_updTargets[0].m_status;
    const bool dsp = std::any_of(kDspNames, kDspNames + 3, [&](const char* name) { return names.count(name) != 0; });
    FUZZ_CHECK(state == 0 || (state >= 0xE01 && state <= 0xE05) || state == 0xE41);
    FUZZ_CHECK(mask >= 0 && mask <= 8 && (mask != 0) == (state == 0));
    FUZZ_CHECK(dsp == (main.m_updTargets[4].m_status != kUntouched)); // any DSP name, even a FIFO's, takes that path
    FUZZ_CHECK(dsp ? state == (mask != 0 ? 0 : 0xE41)
                   : state == (result == kUntouched ? 0xE01
                               : result == 1        ? 0
                               : result == 0xE01    ? 0xE41
                                                    : result));
    for (int i = 0; i < 7; ++i)
    {
        const auto& t = main.m_updTargets[i];
        struct stat info = {};
        if (i < 4 ? mask == 8 : (mask >> (i - 4) & 1) != 0) // valid: filled per its layout, from a regular file
            FUZZ_CHECK(t.m_status == 1 && t.m_size == kLayout[i][0] && t.m_offset == kLayout[i][1] &&
                       t.m_address == kLayout[i][2] && t.m_targetId == kLayout[i][3] &&
                       t.m_file.getParentDirectory() == folder &&
                       stat(t.m_file.getFullPathName().toRawUTF8(), &info) == 0 && S_ISREG(info.st_mode) &&
                       (size_t)info.st_size == (i < 4 ? kMainSize : (size_t)kLayout[i][0]));
        else // untouched but for the check's result, which for a DSP file is never about its content
            FUZZ_CHECK(t.m_file == untouched.m_file && t.m_size == -1 && t.m_offset == -1 && t.m_address == -1 &&
                       t.m_targetId == 0x5A && (i >= 4 || t.m_status == result) &&
                       (t.m_status == kUntouched || (t.m_status >= 0xE01 && t.m_status <= (i < 4 ? 0xE05 : 0xE03))));
    }
    return 0;
}
