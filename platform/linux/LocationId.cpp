#include "LocationId.h"

#include <cstdlib>

namespace platform
{

uint32_t locationIdOf(unsigned busNumber, const char* devpath, unsigned deviceNumber)
{
    const uint32_t bus = (uint32_t)(busNumber & 0xFF) << 24;
    uint32_t path = 0;
    int nibbles = 0;
    bool fits = devpath != nullptr && *devpath != '\0';
    for (const char* p = devpath; fits && *p != '\0';)
    {
        char* end = nullptr;
        const unsigned long port = std::strtoul(p, &end, 10);
        const int width = port < 15 ? 1 : 3;
        fits = end != p && (*end == '.' || *end == '\0') && port >= 1 && port <= 255 && nibbles + width <= 6;
        if (!fits)
            break;
        path = (path << (4 * width)) | (uint32_t)(port < 15 ? port : 0xF00 | port);
        nibbles += width;
        p = *end == '.' ? end + 1 : end;
    }
    if (!fits)
        return bus | 0xF00000 | (deviceNumber & 0xFFF);
    return bus | path << (4 * (6 - nibbles));
}

} // namespace platform
