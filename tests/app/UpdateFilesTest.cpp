#include "MainComponent.h"
#include "TempFolder.h"
#include "UpdateFileBuilder.h"

#include <gtest/gtest.h>

#include <random>

namespace
{
class UpdateFiles : public ::testing::Test
{
protected:
    juce::File child(const char* name) const { return m_temp.child(name); }
    juce::File writeMain(const char* name, const UpdateFileBuilder& builder = UpdateFileBuilder()) const
    {
        return builder.write(child(name));
    }
    void check() { m_main.CheckUpdFile(m_folder); }
    juce::String chosenName() const { return m_main.m_updTargets[0].m_file.getFileName(); }

    TempFolder m_temp;
    const juce::File& m_folder = m_temp.file();
    MainComponent m_main;
};

const juce::uint8 kMainIds[] = { 0xF1, 0xF2, 0xF3, 0xF7 };
} // namespace

TEST(CalcCRC, ninedigitsGiveTheXmodemCheckValue)
{
    const char* digits = "123456789";
    EXPECT_EQ(MainComponent::CalcCRC(reinterpret_cast<const unsigned char*>(digits), 9), 0x31C3);
}

TEST(CalcCRC, emptyOrNegativeLengthGivesZero)
{
    const unsigned char byte = 0xAB;
    EXPECT_EQ(MainComponent::CalcCRC(&byte, 0), 0);
    EXPECT_EQ(MainComponent::CalcCRC(&byte, -5), 0);
}

TEST(CalcCRC, agreesWithTheBytewiseFormulaOnRandomData)
{
    std::mt19937 random(7);
    for (long length : { 1L, 2L, 3L, 61L, 62L, 1000L, 65537L })
    {
        std::vector<unsigned char> data(static_cast<size_t>(length));
        for (auto& b : data)
            b = static_cast<unsigned char>(random());
        EXPECT_EQ(MainComponent::CalcCRC(data.data(), length),
                  UpdateFileBuilder::referenceCrc(data.data(), data.size()))
            << "length " << length;
    }
}

TEST(CheckSysVer, acceptsOnlyDigitPointDigitDigit)
{
    for (const char* good : { "1.23", "0.00", "9.99", "1.234" })
    {
        juce::String text(good);
        EXPECT_TRUE(MainComponent::CheckSysVer(text)) << good;
    }
    for (const char* bad : { "1,23", "a.23", "1.2x", "1.2", "", "12.3", ".123" })
    {
        juce::String text(bad);
        EXPECT_FALSE(MainComponent::CheckSysVer(text)) << bad;
    }
}

TEST_F(UpdateFiles, emptyFolderEndsInE01AndTouchesNoEntry)
{
    check();
    EXPECT_EQ(m_main.m_updState.load(), 0xE01);
    EXPECT_EQ(m_main.m_updMask, 0);
    for (const auto& target : m_main.m_updTargets)
        EXPECT_EQ(target.m_status, 0);
}

TEST_F(UpdateFiles, validMainFileFillsEntriesZeroToThree)
{
    writeMain("QEL720v003.bin", UpdateFileBuilder().date(0x20231231).version("2.05").patternRegions());
    check();

    EXPECT_EQ(m_main.m_updState.load(), 0);
    EXPECT_EQ(m_main.m_updMask, 8);
    EXPECT_EQ(m_main.m_fileDate, 0x20231231u);
    EXPECT_EQ(m_main.m_fileSysVer, "2.05");

    const juce::int64 sizes[] = { 0x90000, 0x90000, 0xB0000, 0x10000 };
    const juce::int64 offsets[] = { 0, 0x90000, 0x120000, 0x1D0000 };
    for (int i = 0; i < 4; ++i)
    {
        const auto& t = m_main.m_updTargets[i];
        EXPECT_EQ(t.m_status, 1);
        EXPECT_EQ(t.m_file, child("QEL720v003.bin"));
        EXPECT_EQ(t.m_size, sizes[i]);
        EXPECT_EQ(t.m_offset, offsets[i]);
        EXPECT_EQ(t.m_address, offsets[i]) << "a main region goes to the address equal to its offset";
        EXPECT_EQ(t.m_targetId, kMainIds[i]);
    }
    for (int i = 4; i < 7; ++i)
        EXPECT_EQ(m_main.m_updTargets[i].m_status, 0);
}

TEST_F(UpdateFiles, highestNumberWinsWhateverTheListingOrder)
{
    writeMain("QEL720v010.bin");
    writeMain("QEL720v002.bin", UpdateFileBuilder().wrongCrc());
    check();
    EXPECT_EQ(m_main.m_updState.load(), 0);
    EXPECT_EQ(chosenName(), "QEL720v010.bin");
}

TEST_F(UpdateFiles, numberZeroOrLettersIsNeverChosen)
{
    writeMain("QEL720v000.bin");
    writeMain("QEL720vabc.bin");
    writeMain("QEL720v-12.bin");
    check();
    EXPECT_EQ(m_main.m_updState.load(), 0xE01);
    EXPECT_EQ(m_main.m_updMask, 0);
}

TEST_F(UpdateFiles, numberIsReadLikeAtoi)
{
    writeMain("QEL720v1ab.bin");                                      // 1
    writeMain("QEL720v 2x.bin");                                      // white space skipped: 2
    writeMain("QEL720v+3_.bin", UpdateFileBuilder().version("3.00")); // a sign is taken: 3
    check();
    EXPECT_EQ(chosenName(), "QEL720v+3_.bin");
    EXPECT_EQ(m_main.m_fileSysVer, "3.00");
}

TEST_F(UpdateFiles, namesWithTwoOrFourCharactersInPlaceOfTheWildcardAreIgnored)
{
    writeMain("QEL720v01.bin");
    writeMain("QEL720v0001.bin");
    child("QEL720v005.bin.old").replaceWithText("x");
    check();
    EXPECT_EQ(m_main.m_updState.load(), 0xE01);
}

TEST_F(UpdateFiles, letterCaseOfTheNameIsIgnored)
{
    writeMain("qel720V007.BIN");
    check();
    EXPECT_EQ(m_main.m_updState.load(), 0);
    EXPECT_EQ(chosenName(), "qel720V007.BIN");
}

TEST_F(UpdateFiles, mainFileOneByteShortIsE03InAllFourEntries)
{
    writeMain("QEL720v001.bin", UpdateFileBuilder().size(0x1FFFFF));
    check();
    EXPECT_EQ(m_main.m_updState.load(), 0xE03);
    EXPECT_EQ(m_main.m_updMask, 0);
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(m_main.m_updTargets[i].m_status, 0xE03);
        EXPECT_EQ(m_main.m_updTargets[i].m_file, juce::File()) << "a failed entry stays empty";
        EXPECT_EQ(m_main.m_updTargets[i].m_size, 0);
    }
}

TEST_F(UpdateFiles, oversizedMainFileIsE03)
{
    writeMain("QEL720v001.bin", UpdateFileBuilder().size(0x200000 + 4096));
    check();
    EXPECT_EQ(m_main.m_updState.load(), 0xE03);
}

TEST_F(UpdateFiles, folderWithTheMainFileNameIsNoCandidate)
{
    ASSERT_TRUE(child("QEL720v001.bin").createDirectory().wasOk());
    check();
    EXPECT_EQ(m_main.m_updState.load(), 0xE01);
}

TEST(ParseUpdFile, folderInPlaceOfTheFileCannotBeLoaded)
{
    TempFolder temp;
    const auto& folder = temp.file();
    unsigned int date = 0;
    juce::String version;
    EXPECT_EQ(MainComponent::ParseUpdFile(folder, 0x200000, &date, version), 0xE02);
}

TEST_F(UpdateFiles, dateWordBytesAboveTheirBoundsAreE04)
{
    for (juce::uint32 date : { 0x21000101u, 0x20510101u, 0x20231301u, 0x20231232u })
    {
        MainComponent main;
        writeMain("QEL720v001.bin", UpdateFileBuilder().date(date));
        main.CheckUpdFile(m_folder);
        EXPECT_EQ(main.m_updState.load(), 0xE04) << std::hex << date;
        EXPECT_EQ(main.m_fileDate, date) << "the word is stored before it is checked";
    }
}

TEST_F(UpdateFiles, dateWordOfZerosAndUncheckedNibblesPass)
{
    for (juce::uint32 date : { 0x00000000u, 0x1F4F0A1Fu })
    {
        MainComponent main;
        writeMain("QEL720v001.bin", UpdateFileBuilder().date(date));
        main.CheckUpdFile(m_folder);
        EXPECT_EQ(main.m_updState.load(), 0) << std::hex << date;
    }
}

TEST_F(UpdateFiles, versionTextOutOfFormIsE04AndStoredFirst)
{
    for (const char* version : { "1,23", "1.2a", "x.00" })
    {
        MainComponent main;
        writeMain("QEL720v001.bin", UpdateFileBuilder().version(version));
        main.CheckUpdFile(m_folder);
        EXPECT_EQ(main.m_updState.load(), 0xE04) << version;
        EXPECT_EQ(main.m_fileSysVer, version);
    }
}

TEST_F(UpdateFiles, wrongOrByteSwappedCrcIsE05)
{
    writeMain("QEL720v001.bin", UpdateFileBuilder().wrongCrc());
    check();
    EXPECT_EQ(m_main.m_updState.load(), 0xE05);

    MainComponent other;
    writeMain("QEL720v001.bin", UpdateFileBuilder().patternRegions().crcHighByteFirst());
    other.CheckUpdFile(m_folder);
    EXPECT_EQ(other.m_updState.load(), 0xE05);
}

TEST_F(UpdateFiles, oneFlippedBitAnywhereInTheImageIsE05)
{
    for (size_t offset : { size_t(0), size_t(0x123456), size_t(0x1E0000), size_t(0x1FFFFD) })
    {
        auto image = UpdateFileBuilder().patternRegions().image();
        image[offset] ^= 0x10;
        child("QEL720v001.bin").replaceWithData(image.data(), image.size());
        MainComponent main;
        main.CheckUpdFile(m_folder);
        EXPECT_EQ(main.m_updState.load(), 0xE05) << std::hex << offset;
    }
}

TEST_F(UpdateFiles, onlyValidDataFileIsTheWholeDspUpdate)
{
    UpdateFileBuilder::writeDsp(child("qelc1_dsp_data.bin"), 0x20000);
    check();
    EXPECT_EQ(m_main.m_updState.load(), 0);
    EXPECT_EQ(m_main.m_updMask, 0x2);
    const auto& data = m_main.m_updTargets[5];
    EXPECT_EQ(data.m_status, 1);
    EXPECT_EQ(data.m_size, 0x20000);
    EXPECT_EQ(data.m_offset, 0);
    EXPECT_EQ(data.m_address, 0x160000);
    EXPECT_EQ(data.m_targetId, 0xF5);
    EXPECT_EQ(m_main.m_updTargets[4].m_status, 0xE01);
    EXPECT_EQ(m_main.m_updTargets[6].m_status, 0xE01);
}

TEST_F(UpdateFiles, allThreeDspFilesTakePrecedenceOverTheMainFile)
{
    writeMain("QEL720v009.bin");
    UpdateFileBuilder::writeDsp(child("qelc1_dsp_prog.bin"), 0x2E000);
    UpdateFileBuilder::writeDsp(child("qelc1_dsp_data.bin"), 0x20000);
    UpdateFileBuilder::writeDsp(child("qelc1_dsp_cymbal_data.bin"), 0x40000);
    check();

    EXPECT_EQ(m_main.m_updState.load(), 0);
    EXPECT_EQ(m_main.m_updMask, 0x7);
    const juce::int64 addresses[] = { 0x120000, 0x160000, 0x180000 };
    const juce::uint8 ids[] = { 0xF4, 0xF5, 0xF6 };
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(m_main.m_updTargets[4 + i].m_address, addresses[i]);
        EXPECT_EQ(m_main.m_updTargets[4 + i].m_targetId, ids[i]);
    }
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(m_main.m_updTargets[i].m_status, 0) << "the main file is not looked at";
}

TEST_F(UpdateFiles, wrongLengthProgramBesideValidDataIsLeftOutSilently)
{
    UpdateFileBuilder::writeDsp(child("qelc1_dsp_prog.bin"), 0x2E001);
    UpdateFileBuilder::writeDsp(child("qelc1_dsp_data.bin"), 0x20000);
    check();
    EXPECT_EQ(m_main.m_updState.load(), 0);
    EXPECT_EQ(m_main.m_updMask, 0x2);
    EXPECT_EQ(m_main.m_updTargets[4].m_status, 0xE03);
    EXPECT_EQ(m_main.m_updTargets[4].m_file, juce::File());
}

TEST_F(UpdateFiles, everyDspFileInvalidIsE41AndTheMainFileIsNotChecked)
{
    writeMain("QEL720v001.bin");
    UpdateFileBuilder::writeDsp(child("qelc1_dsp_data.bin"), 100);
    check();
    EXPECT_EQ(m_main.m_updState.load(), 0xE41);
    EXPECT_EQ(m_main.m_updMask, 0);
    EXPECT_EQ(m_main.m_updTargets[5].m_status, 0xE03);
    EXPECT_EQ(m_main.m_updTargets[0].m_status, 0);
}

TEST_F(UpdateFiles, folderNamedLikeADspFileTakesTheDspPath)
{
    ASSERT_TRUE(child("qelc1_dsp_cymbal_data.bin").createDirectory().wasOk());
    check();
    EXPECT_EQ(m_main.m_updState.load(), 0xE41);
    EXPECT_EQ(m_main.m_updTargets[6].m_status, 0xE02);
    EXPECT_EQ(m_main.m_updTargets[4].m_status, 0xE01);
    EXPECT_EQ(m_main.m_updTargets[5].m_status, 0xE01);
}

TEST_F(UpdateFiles, dspNamesAreMatchedWithTheirLetterCase)
{
    UpdateFileBuilder::writeDsp(child("QELC1_DSP_DATA.BIN"), 0x20000);
    check();
    EXPECT_EQ(m_main.m_updState.load(), 0xE01) << "an upper-case DSP name is no DSP file";
}

TEST_F(UpdateFiles, removedDeviceErrorIsNeverOverwritten)
{
    m_main.m_updState = 0xE37;
    check(); // would write 0xE01
    EXPECT_EQ(m_main.m_updState.load(), 0xE37);

    writeMain("QEL720v001.bin", UpdateFileBuilder().wrongCrc());
    check(); // would write 0xE05
    EXPECT_EQ(m_main.m_updState.load(), 0xE37);
}

TEST(ParseUpdFile, missingFileIsE01AndDspFilesLeaveTheOutputsAlone)
{
    unsigned int date = 0xDEADBEEF;
    juce::String version("keep");
    TempFolder temp;
    const auto& folder = temp.file();

    EXPECT_EQ(MainComponent::ParseUpdFile(folder.getChildFile("none.bin"), 0x200000, &date, version), 0xE01);

    const auto dsp = UpdateFileBuilder::writeDsp(folder.getChildFile("qelc1_dsp_prog.bin"), 0x2E000);
    EXPECT_EQ(MainComponent::ParseUpdFile(dsp, 0x2E000, &date, version), 1);
    EXPECT_EQ(date, 0xDEADBEEF);
    EXPECT_EQ(version, "keep");
}

TEST(SetUpdState, onlyTheRemovalValueIsSticky)
{
    MainComponent main;
    EXPECT_TRUE(main.SetUpdState(3));
    EXPECT_TRUE(main.SetUpdState(0xE41));
    EXPECT_TRUE(main.SetUpdState(0xE37));
    EXPECT_FALSE(main.SetUpdState(0xE36));
    EXPECT_EQ(main.m_updState.load(), 0xE37);
}
