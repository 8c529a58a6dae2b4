#pragma once

// Reads the primary usage of a HID device from its report descriptor: the usage page and usage
// that stand before the descriptor's first collection (the application collection).
//
// Pure function, safe on any thread.

#include <cstddef>
#include <cstdint>

namespace platform
{

// False when the descriptor holds no usage before its first collection; page and usage are
// then left at 0.
bool readPrimaryUsage(const uint8_t* descriptor, size_t length, uint32_t& usagePage, uint32_t& usage);

} // namespace platform
