// The update files: discovery beside the executable, the checks of one file, the CRC-16.
#include "DeviceProtocol.h"
#include "MainComponent.h"

#include <platform/FileNames.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr int kMainFileSize = 0x200000;
constexpr int kMainNameLength = 14; // "QEL720v" + three characters + ".bin"
constexpr int kVersionOffset = 0x1D0000;
constexpr int kDateOffset = 0x1DFFFC;
constexpr int kMainMask = 8;

// Where each entry of the update table comes from and where it goes.
struct EntryLayout
{
    juce::int64 size;
    juce::int64 offset;
    juce::int64 address;
    juce::uint8 targetId;
};

constexpr EntryLayout kLayouts[kUpdateTargetCount] = {
    { 0x90000, 0x000000, 0x000000, 0xF1 }, { 0x90000, 0x090000, 0x090000, 0xF2 }, { 0xB0000, 0x120000, 0x120000, 0xF3 },
    { 0x10000, 0x1D0000, 0x1D0000, 0xF7 }, { 0x2E000, 0, 0x120000, 0xF4 },        { 0x20000, 0, 0x160000, 0xF5 },
    { 0x40000, 0, 0x180000, 0xF6 },
};

// The DSP files, in the order they are checked; entry 4 + i, mask bit 1 << i.
const char* const kDspNames[] = { "qelc1_dsp_prog.bin", "qelc1_dsp_data.bin", "qelc1_dsp_cymbal_data.bin" };
constexpr int kDspCount = 3;
constexpr int kFirstDspEntry = 4;

bool isDspFileName(const juce::String& name)
{
    for (auto* dspName : kDspNames)
        if (name == dspName) // letter case included
            return true;
    return false;
}

void fillEntry(UpdateTarget& target, const juce::File& file, int index)
{
    const auto& layout = kLayouts[index];
    target.m_file = file;
    target.m_size = layout.size;
    target.m_offset = layout.offset;
    target.m_address = layout.address;
    target.m_targetId = layout.targetId;
}

bool isDigit(juce::juce_wchar c) { return c >= '0' && c <= '9'; }

// Whether the folder has an entry of that name, whatever it is or points to: a link that leads
// nowhere (or round in a loop) is a file that cannot be loaded, not a missing one.
bool isPresent(const juce::File& file)
{
    struct stat info = {};
    return ::lstat(file.getFullPathName().toRawUTF8(), &info) == 0;
}
} // namespace

// Not JUCE's own executable path: a folder name that is not UTF-8 would corrupt it.
juce::File MainComponent::updateFolder() { return juce::File(platform::executableFolder()); }

void MainComponent::CheckUpdFile() { CheckUpdFile(m_updateFolder); }

void MainComponent::CheckUpdFile(const juce::File& folder)
{
    const auto candidate = FindMainFileCandidate(folder);

    if (CheckDspFiles(folder))
        return;

    if (candidate != juce::File())
    {
        CheckMainFile(candidate);
        return;
    }

    m_updMask = 0;
    SetUpdState(kErrNoFile);
}

juce::File MainComponent::FindMainFileCandidate(const juce::File& folder)
{
    juce::File best;
    int bestNumber = 0;

    for (const auto& name : ListFileNames(folder))
    {
        if (!name.matchesWildcard("QEL720v*.bin", true) || name.length() != kMainNameLength)
            continue;
        const auto file = folder.getChildFile(name);
        if (file.isDirectory())
            continue;

        // Read like atoi: white space, an optional sign, then digits up to the first other character.
        const int number = std::atoi(name.substring(7, 10).toRawUTF8());
        if (number > bestNumber)
        {
            best = file;
            bestNumber = number;
        }
    }
    return best;
}

// The names in the folder, in the order the system lists them. Not JUCE's listing, which makes
// every name into a juce::String: a name that is not UTF-8 (an archive made elsewhere may leave
// one beside the program) would corrupt memory. Such a name is left out; no update file has one.
juce::StringArray MainComponent::ListFileNames(const juce::File& folder)
{
    juce::StringArray names;
    if (DIR* dir = ::opendir(folder.getFullPathName().toRawUTF8()))
    {
        while (const dirent* entry = ::readdir(dir))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0 &&
                platform::isWellFormedUtf8(entry->d_name, std::strlen(entry->d_name)))
                names.add(juce::String(juce::CharPointer_UTF8(entry->d_name)));
        ::closedir(dir);
    }
    return names;
}

// The DSP path: taken when any of the three DSP files exists, and then the main file is ignored.
// Returns whether it was taken.
bool MainComponent::CheckDspFiles(const juce::File& folder)
{
    juce::File files[kDspCount];
    bool anyPresent = false;
    for (int i = 0; i < kDspCount; ++i)
    {
        files[i] = folder.getChildFile(kDspNames[i]);
        // What the name leads to decides, a folder included: a link that leads nowhere does not
        // take the DSP path, unlike the dangling main file, which is a file that cannot be loaded.
        anyPresent = anyPresent || files[i].exists();
    }
    if (!anyPresent)
        return false;

    bool anyValid = false;
    for (int i = 0; i < kDspCount; ++i)
    {
        juce::String scratch;
        const int entry = kFirstDspEntry + i;
        m_updTargets[entry].m_status = ParseUpdFile(files[i], (int)kLayouts[entry].size, nullptr, scratch);
        anyValid = anyValid || m_updTargets[entry].m_status == kStatusValid;
    }

    if (!anyValid)
    {
        SetUpdState(kErrOther);
        return true;
    }

    for (int i = 0; i < kDspCount; ++i)
    {
        const int entry = kFirstDspEntry + i;
        if (m_updTargets[entry].m_status != kStatusValid)
            continue; // an invalid DSP file beside a valid one is left out silently
        fillEntry(m_updTargets[entry], files[i], entry);
        m_updMask |= 1 << i;
    }
    return true;
}

void MainComponent::CheckMainFile(const juce::File& candidate)
{
    const int result = ParseUpdFile(candidate, kMainFileSize, &m_fileDate, m_fileSysVer);
    for (int entry = 0; entry < 4; ++entry)
        m_updTargets[entry].m_status = result;

    if (result == kStatusValid)
    {
        for (int entry = 0; entry < 4; ++entry)
            fillEntry(m_updTargets[entry], candidate, entry);
        m_updMask = kMainMask;
    }
    else
    {
        // The candidate vanished between the listing and the check: not a plain "no file".
        SetUpdState(result == kErrNoFile ? kErrOther : result);
    }
}

// Anything but a regular file (a symbolic link to one included) is refused before it is opened: a
// device or a pipe reports a size of 0 whatever it would give, and opening a pipe blocks until a
// writer comes (the message thread in the file checks, the worker during the transfer, where a
// stop could then not end it). The open is non-blocking, and what it opened is checked again,
// should a pipe have taken the path's place meanwhile.
bool MainComponent::ReadRegularFile(const juce::File& file, juce::int64 offset, size_t limit,
                                    juce::MemoryBlock& content)
{
    const auto path = file.getFullPathName();
    struct stat info = {};
    if (::stat(path.toRawUTF8(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;

    const int fd = ::open(path.toRawUTF8(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    content.setSize(limit);
    size_t total = 0;
    while (ok && total < limit)
    {
        const auto got = ::pread(fd, static_cast<char*>(content.getData()) + total, limit - total,
                                 (off_t)(offset + (juce::int64)total));
        if (got == 0)
            break;
        if (got > 0)
            total += (size_t)got;
        else
            ok = errno == EINTR;
    }
    ::close(fd);
    content.setSize(total);
    return ok;
}

int MainComponent::ParseUpdFile(const juce::File& file, int expectedSize, unsigned int* date, juce::String& version)
{
    if (!isPresent(file))
        return kErrNoFile;

    // One byte past the expected size tells a longer file, however long it is or grows.
    juce::MemoryBlock content;
    if (!ReadRegularFile(file, 0, (size_t)expectedSize + 1, content))
        return kErrFileLoad;
    if (content.getSize() != (size_t)expectedSize)
        return kErrFileSize;
    if (isDspFileName(file.getFileName()))
        return kStatusValid;

    // Only the main file's 0x200000 bytes reach this point, so every offset below lies inside.
    const auto* bytes = static_cast<const juce::uint8*>(content.getData());
    if (expectedSize != kMainFileSize)
        return kErrFileForm;

    const auto dateWord = DeviceProtocol::readDateWord(bytes + kDateOffset);
    if (date != nullptr)
        *date = dateWord;
    if (!DeviceProtocol::dateWordInBounds(dateWord))
        return kErrFileForm;

    version = DeviceProtocol::readVersionText(bytes + kVersionOffset);
    if (!CheckSysVer(version))
        return kErrFileForm;

    const auto stored = (juce::uint16)(bytes[expectedSize - 2] | (bytes[expectedSize - 1] << 8));
    return CalcCRC(bytes, expectedSize - 2) == stored ? int(kStatusValid) : int(kErrFileCrc);
}

bool MainComponent::CheckSysVer(juce::String& version)
{
    if (version.length() < 4)
        return false;
    return isDigit(version[0]) && version[1] == '.' && isDigit(version[2]) && isDigit(version[3]);
}

juce::uint16 MainComponent::CalcCRC(const unsigned char* data, long length)
{
    if (length <= 0)
        return 0;

    // Bit by bit in a 24-bit register, augmented form: each byte enters the low 8 bits and is
    // shifted through; 16 more shifts flush the last byte out. The remainder ends in bits 8..23.
    constexpr juce::uint32 kTopBit = 0x800000;
    constexpr juce::uint32 kPoly = 0x1102100; // 0x11021 << 8; also clears the bit shifted out of bit 23
    juce::uint32 reg = 0;

    auto shift = [&reg]
    {
        const bool top = (reg & kTopBit) != 0;
        reg <<= 1;
        if (top)
            reg ^= kPoly;
    };

    for (long i = 0; i < length; ++i)
    {
        reg |= data[i];
        for (int bit = 0; bit < 8; ++bit)
            shift();
    }
    for (int bit = 0; bit < 16; ++bit)
        shift();

    return (juce::uint16)((reg >> 8) & 0xFFFF);
}
