#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>
#include <vector>

// Writes update files for tests: a main update file with a chosen date word, version text,
// region contents and a right or deliberately wrong CRC, and DSP files of any length.
class UpdateFileBuilder
{
public:
    static constexpr int kMainSize = 0x200000;

    UpdateFileBuilder();

    UpdateFileBuilder& date(std::uint32_t dateWord);        // stored big-endian at 0x1DFFFC
    UpdateFileBuilder& version(const char* fourCharacters); // stored at 0x1D0000
    // Fills region r (0..3) with a pattern that differs per region and per byte.
    UpdateFileBuilder& patternRegions();
    UpdateFileBuilder& fill(std::size_t offset, const std::vector<std::uint8_t>& bytes);
    UpdateFileBuilder& wrongCrc();              // stores the CRC plus one
    UpdateFileBuilder& crcHighByteFirst();      // stores the right CRC byte-swapped
    UpdateFileBuilder& size(std::size_t bytes); // cut or extend the image (after the CRC)

    // The image as it will be written (the CRC is computed over all but the last two bytes).
    std::vector<std::uint8_t> image() const;
    juce::File write(const juce::File& file) const;

    // A DSP file of the given length with a recognisable pattern.
    static juce::File writeDsp(const juce::File& file, std::size_t length, std::uint8_t seed = 0x5A);

    // Reference CRC-16/XMODEM computed with the usual table-free byte-wise formula, independent of
    // the program's bit-by-bit register.
    static std::uint16_t referenceCrc(const std::uint8_t* data, std::size_t length);

private:
    std::vector<std::uint8_t> m_image;
    std::size_t m_size = kMainSize;
    int m_crcMode = 0; // 0 right, 1 wrong, 2 high byte first
};
