#include "UpdateFileBuilder.h"

namespace
{
constexpr std::size_t kVersionOffset = 0x1D0000;
constexpr std::size_t kDateOffset = 0x1DFFFC;
constexpr std::size_t kRegionStarts[] = { 0x000000, 0x090000, 0x120000, 0x1D0000, 0x1E0000 };
} // namespace

UpdateFileBuilder::UpdateFileBuilder() : m_image(kMainSize, 0)
{
    version("1.23");
    date(0x20240315);
}

UpdateFileBuilder& UpdateFileBuilder::date(std::uint32_t dateWord)
{
    for (int i = 0; i < 4; ++i)
        m_image[kDateOffset + i] = static_cast<std::uint8_t>(dateWord >> (24 - 8 * i));
    return *this;
}

UpdateFileBuilder& UpdateFileBuilder::version(const char* fourCharacters)
{
    for (int i = 0; i < 4; ++i)
        m_image[kVersionOffset + i] = static_cast<std::uint8_t>(fourCharacters[i]);
    return *this;
}

UpdateFileBuilder& UpdateFileBuilder::patternRegions()
{
    // Keep the version text and date word that region 3 carries.
    std::uint8_t versionText[4], dateWord[4];
    std::copy_n(m_image.begin() + kVersionOffset, 4, versionText);
    std::copy_n(m_image.begin() + kDateOffset, 4, dateWord);

    for (int r = 0; r < 4; ++r)
        for (std::size_t i = kRegionStarts[r]; i < kRegionStarts[r + 1]; ++i)
            m_image[i] = static_cast<std::uint8_t>((i * 7 + static_cast<std::size_t>(r) * 31 + (i >> 9)) & 0xFF);

    std::copy_n(versionText, 4, m_image.begin() + kVersionOffset);
    std::copy_n(dateWord, 4, m_image.begin() + kDateOffset);
    return *this;
}

UpdateFileBuilder& UpdateFileBuilder::fill(std::size_t offset, const std::vector<std::uint8_t>& bytes)
{
    std::copy(bytes.begin(), bytes.end(), m_image.begin() + static_cast<std::ptrdiff_t>(offset));
    return *this;
}

UpdateFileBuilder& UpdateFileBuilder::wrongCrc()
{
    m_crcMode = 1;
    return *this;
}

UpdateFileBuilder& UpdateFileBuilder::crcHighByteFirst()
{
    m_crcMode = 2;
    return *this;
}

UpdateFileBuilder& UpdateFileBuilder::size(std::size_t bytes)
{
    m_size = bytes;
    return *this;
}

std::vector<std::uint8_t> UpdateFileBuilder::image() const
{
    auto out = m_image;
    auto crc = referenceCrc(out.data(), kMainSize - 2);
    if (m_crcMode == 1)
        crc = static_cast<std::uint16_t>(crc + 1);
    const auto low = static_cast<std::uint8_t>(crc & 0xFF), high = static_cast<std::uint8_t>(crc >> 8);
    out[kMainSize - 2] = m_crcMode == 2 ? high : low;
    out[kMainSize - 1] = m_crcMode == 2 ? low : high;
    out.resize(m_size, 0);
    return out;
}

juce::File UpdateFileBuilder::write(const juce::File& file) const
{
    const auto bytes = image();
    file.replaceWithData(bytes.data(), bytes.size());
    return file;
}

juce::File UpdateFileBuilder::writeDsp(const juce::File& file, std::size_t length, std::uint8_t seed)
{
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 13 + seed + (i >> 8)) & 0xFF);
    file.replaceWithData(bytes.data(), bytes.size());
    return file;
}

std::uint16_t UpdateFileBuilder::referenceCrc(const std::uint8_t* data, std::size_t length)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < length; ++i)
    {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}
