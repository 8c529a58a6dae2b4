#include "ReportDescriptor.h"

namespace platform
{

namespace
{
// Item prefixes (tag and type bits, size bits masked off).
constexpr uint8_t usagePageItem = 0x04;  // global
constexpr uint8_t usageItem = 0x08;      // local
constexpr uint8_t collectionItem = 0xA0; // main
constexpr uint8_t longItem = 0xFE;

uint32_t littleEndian(const uint8_t* data, size_t size)
{
    uint32_t value = 0;
    for (size_t i = 0; i < size; ++i)
        value |= (uint32_t)data[i] << (8 * i);
    return value;
}
} // namespace

bool readPrimaryUsage(const uint8_t* descriptor, size_t length, uint32_t& usagePage, uint32_t& usage)
{
    usagePage = 0;
    usage = 0;
    uint32_t currentPage = 0, lastUsage = 0;
    size_t lastUsageSize = 0;
    bool found = false;
    // A four-byte usage carries its own page; a shorter one takes the page in force when the
    // collection opens, whether that page was given before the usage or after it.
    const auto take = [&]
    {
        usagePage = lastUsageSize == 4 ? lastUsage >> 16 : currentPage;
        usage = lastUsageSize == 4 ? lastUsage & 0xFFFF : lastUsage;
        return true;
    };
    for (size_t i = 0; i < length;)
    {
        const uint8_t prefix = descriptor[i];
        if (prefix == longItem)
        {
            i += 3 + (i + 1 < length ? descriptor[i + 1] : 0);
            continue;
        }
        const size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (i + 1 + size > length)
            break;
        const uint32_t value = littleEndian(descriptor + i + 1, size);
        switch (prefix & 0xFC)
        {
            case usagePageItem: currentPage = value; break;
            case usageItem:
                lastUsage = value;
                lastUsageSize = size;
                found = true;
                break;
            case collectionItem: return found && take();
            default: break;
        }
        i += 1 + size;
    }
    return found && take();
}

} // namespace platform
