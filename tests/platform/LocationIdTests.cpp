// Where a USB device is plugged, as the LocationID that the device list sorts by.

#include "LocationId.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

// Bus by bus, then port by port from the root: a device before the ones behind it, lower ports
// first, ports of 15 and up included; paths too long to fit come between, told apart by address.
TEST(LocationId, KeepsTheOrderOfThePortPathsSoNoTwoDevicesShareAnId)
{
    // bus-path, and @address where it matters
    std::istringstream inOrder("1-1 1-1.1 1-1.14.14.14.14.14 1-1.15 1-1.16 1-2 1-2.3 1-14 1-14.14.14.14.14.14 "
                               "1-1.2.3.4.5.6.7@5 1-1.2.3.4.5.6.7@6 1-20.1.2.3.4@7 1-15.1 1-16 1-16.1.2.3 1-255 2-1");
    uint32_t previous = 0;
    for (std::string device; inOrder >> device;)
    {
        unsigned bus = 0, address = 9;
        char path[32] = "";
        std::sscanf(device.c_str(), "%u-%31[0-9.]@%u", &bus, path, &address);
        const uint32_t id = platform::locationIdOf(bus, path, address);
        EXPECT_GT(id, previous) << device;
        previous = id;
    }
}
