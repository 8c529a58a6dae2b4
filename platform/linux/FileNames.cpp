#include "FileNames.h"

namespace platform
{

// The well-formed byte sequences of the Unicode standard (its table of them): the second byte's
// range depends on the first, which rules out overlong forms, surrogates and values past U+10FFFF.
bool isWellFormedUtf8(const char* bytes, std::size_t length)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    const auto* end = p + length;
    while (p < end)
    {
        const unsigned char lead = *p++;
        if (lead == 0)
            return false;
        if (lead < 0x80)
            continue;
        int more = 0;
        unsigned char low = 0x80, high = 0xBF; // the range of the byte after the lead
        if (lead >= 0xC2 && lead <= 0xDF)
            more = 1;
        else if (lead >= 0xE0 && lead <= 0xEF)
        {
            more = 2;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        }
        else if (lead >= 0xF0 && lead <= 0xF4)
        {
            more = 3;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        else
            return false;
        if (end - p < more || *p < low || *p > high)
            return false;
        for (++p; --more > 0; ++p)
            if ((*p & 0xC0) != 0x80)
                return false;
    }
    return true;
}

} // namespace platform
