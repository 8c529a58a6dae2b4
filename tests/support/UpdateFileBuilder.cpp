#include "UpdateFileBuilder.h"

std::vector<std::uint8_t> UpdateFileBuilder::image() const
{
    std::vector<std::uint8_t> out(kMainSize, 0);
    if (m_pattern)
        for (std::size_t i = 0; i < kMainSize; ++i)
            out[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9) + (i >= 0x090000) * 31 + (i >= 0x120000) * 57);
    for (int i = 0; i < 4; ++i)
    {
        out[0x1D0000 + i] = static_cast<std::uint8_t>(m_version[i]);
        out[0x1DFFFC + i] = static_cast<std::uint8_t>(m_date >> (24 - 8 * i));
    }

    std::uint16_t crc = 0; // CRC-16/XMODEM, byte-wise
    for (std::size_t i = 0; i < kMainSize - 2; ++i)
    {
        crc ^= static_cast<std::uint16_t>(out[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    crc = static_cast<std::uint16_t>(m_crc == 1 ? crc + 1 : crc);
    const bool swap = m_crc == 2;
    out[kMainSize - 2] = static_cast<std::uint8_t>(swap ? crc >> 8 : crc);
    out[kMainSize - 1] = static_cast<std::uint8_t>(swap ? crc : crc >> 8);
    if (m_flipped < kMainSize)
        out[m_flipped] ^= 0x10;
    out.resize(m_size, 0);
    return out;
}

juce::File UpdateFileBuilder::write(const juce::File& file) const
{
    const auto bytes = image();
    file.replaceWithData(bytes.data(), bytes.size());
    return file;
}

juce::File UpdateFileBuilder::writeDsp(const juce::File& file, std::size_t length)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 13 + 0x5A + (i >> 8));
    file.replaceWithData(bytes.data(), bytes.size());
    return file;
}
