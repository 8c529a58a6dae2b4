#include "TextFormat.h"

#include <cstring>

namespace
{
// Appends bytes to a fixed buffer, keeping room for the terminating zero and remembering
// whether anything had to be dropped.
class BoundedWriter
{
public:
    BoundedWriter(char* buffer, std::size_t capacity) : m_buffer(buffer), m_capacity(capacity) {}

    void put(char c)
    {
        if (m_length < m_capacity)
            m_buffer[m_length++] = c;
        else
            m_truncated = true;
    }

    void put(const char* text, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
            put(text[i]);
    }

    void fill(char c, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
            put(c);
    }

    std::size_t length() const { return m_length; }
    bool truncated() const { return m_truncated; }

private:
    char* m_buffer;
    std::size_t m_capacity;
    std::size_t m_length = 0;
    bool m_truncated = false;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }
} // namespace

juce::String TextFormat::format(const juce::String& templ, const juce::String& arg0, const juce::String& arg1,
                                const juce::String& arg2, const juce::String& arg3)
{
    char buffer[bufferSize];
    const char* const args[maxArgs] = { arg0.toRawUTF8(), arg1.toRawUTF8(), arg2.toRawUTF8(), arg3.toRawUTF8() };
    const std::size_t length = formatInto(buffer, templ.toRawUTF8(), args);
    return juce::String::fromUTF8(buffer, static_cast<int>(length));
}

std::size_t TextFormat::formatInto(char (&out)[bufferSize], const char* templ, const char* const (&args)[maxArgs])
{
    BoundedWriter writer(out, bufferSize - 1);
    int nextArg = 0;
    const char* p = (templ != nullptr) ? templ : "";

    while (*p != '\0')
    {
        if (*p != '%')
        {
            writer.put(*p++);
            continue;
        }
        if (p[1] == '%')
        {
            writer.put('%');
            p += 2;
            continue;
        }

        // '%' [0] [width] 's'
        const char* spec = p + 1;
        const bool zeroPad = (*spec == '0');
        std::size_t width = 0;
        while (isDigit(*spec))
        {
            if (width < bufferSize) // a wider field could not fit anyway
                width = width * 10 + static_cast<std::size_t>(*spec - '0');
            ++spec;
        }
        if (*spec != 's')
        {
            writer.put(*p++); // not a conversion: the '%' stands for itself
            continue;
        }

        const char* arg = (nextArg < maxArgs && args[nextArg] != nullptr) ? args[nextArg] : "";
        ++nextArg;
        const std::size_t argLength = std::strlen(arg);
        if (width > argLength)
            writer.fill(zeroPad ? '0' : ' ', width - argLength);
        writer.put(arg, argLength);
        p = spec + 1;
    }

    std::size_t length = writer.length();
    if (writer.truncated())
        length = wholeCharacterLength(out, length);
    out[length] = '\0';
    return length;
}

std::size_t TextFormat::wholeCharacterLength(const char* text, std::size_t length)
{
    // Step back over at most three continuation bytes to the lead byte of the last character.
    std::size_t lead = length;
    for (int back = 0; back < 4 && lead > 0; ++back)
    {
        --lead;
        if ((static_cast<unsigned char>(text[lead]) & 0xC0) != 0x80)
            break;
    }
    if (lead == length)
        return length;

    const auto byte = static_cast<unsigned char>(text[lead]);
    std::size_t needed = 1;
    if (byte >= 0xF0)
        needed = 4;
    else if (byte >= 0xE0)
        needed = 3;
    else if (byte >= 0xC0)
        needed = 2;
    return (lead + needed > length) ? lead : length;
}
