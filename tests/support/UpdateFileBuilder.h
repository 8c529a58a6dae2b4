#pragma once

#include <juce_core/juce_core.h>

#include <cstdint>
#include <vector>

// Writes update files for tests: a main update file with a chosen date word, version text and a
// right or deliberately wrong CRC, and DSP files of any length. The CRC is computed byte-wise
// here, independently of the program's bit-by-bit register.
class UpdateFileBuilder
{
public:
    static constexpr std::size_t kMainSize = 0x200000;

    UpdateFileBuilder& date(std::uint32_t word) { return set(m_date, word); }     // big-endian at 0x1DFFFC
    UpdateFileBuilder& version(const char* text) { return set(m_version, text); } // four characters at 0x1D0000
    UpdateFileBuilder& patternRegions() { return set(m_pattern, true); } // bytes that differ per region and offset
    UpdateFileBuilder& wrongCrc() { return set(m_crc, 1); }
    UpdateFileBuilder& crcHighByteFirst() { return set(m_crc, 2); }
    UpdateFileBuilder& size(std::size_t bytes) { return set(m_size, bytes); }      // cut or extend after the CRC
    UpdateFileBuilder& flip(std::size_t offset) { return set(m_flipped, offset); } // a bit, after the CRC is set

    std::vector<std::uint8_t> image() const;
    juce::File write(const juce::File& file) const;
    static juce::File writeDsp(const juce::File& file, std::size_t length);

private:
    template <typename T, typename V>
    UpdateFileBuilder& set(T& field, V value)
    {
        field = value;
        return *this;
    }

    std::uint32_t m_date = 0x20240315;
    const char* m_version = "1.23";
    bool m_pattern = false;
    int m_crc = 0; // right, plus one, or high byte first
    std::size_t m_size = kMainSize;
    std::size_t m_flipped = SIZE_MAX;
};
