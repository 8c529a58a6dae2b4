#pragma once

// The LocationID of a USB device, from where it is plugged.
//
// The bus number is the top byte; the low 24 bits hold the port path from the root hub, most
// significant first, one code per port and zero nibbles after the last:
//   ports 1 to 14     one nibble: 1 to E
//   ports 15 to 255   three nibbles: F, then the port number (0F to FF)
// So IDs keep the order of the paths (a device before the ones behind it, lower ports first) and
// two different paths never share an ID; six levels of ports below 15, or a root port of 15 and
// up with three more levels, fit.
// A path that does not fit (or is not a path of ports 1 to 255) gets F00 followed by the device's
// address on its bus (devnum, 1 to 127) instead. No path's code starts with F00 and no two
// devices on a bus share an address, so these IDs are unique among the devices present too; they
// sort after the paths that start on ports 1 to 14 and before those on ports of 15 and up.
//
// Pure function, safe on any thread.

#include <cstdint>

namespace platform
{

// `devpath` is the port path as sysfs writes it ("2.3" for a device on port 3 of a hub on root
// port 2); `deviceNumber` is the device's address (sysfs "devnum").
uint32_t locationIdOf(unsigned busNumber, const char* devpath, unsigned deviceNumber);

} // namespace platform
