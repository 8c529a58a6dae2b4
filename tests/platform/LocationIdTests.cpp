// Where a USB device is plugged, as the LocationID that the device list sorts by.

#include "LocationId.h"

#include <gtest/gtest.h>

using platform::locationIdOf;

TEST(LocationId, KeepsTheOrderOfThePortPathsSoNoTwoPathsShareAnId)
{
    // Bus by bus, then port by port from the root: a device before the ones behind it, lower
    // ports first, ports of 15 and up included.
    const std::pair<unsigned, const char*> inOrder[] = {
        { 1, "1" },    { 1, "1.1" },      { 1, "1.14.14.14.14.14" },
        { 1, "1.15" }, { 1, "1.16" },     { 1, "2" },
        { 1, "2.3" },  { 1, "14" },       { 1, "15.1" },
        { 1, "16" },   { 1, "16.1.2.3" }, { 1, "255" },
        { 2, "1" },
    };
    uint32_t previous = 0;
    for (auto& [bus, path] : inOrder)
    {
        const uint32_t id = locationIdOf(bus, path, 9);
        EXPECT_GT(id, previous) << bus << "-" << path;
        previous = id;
    }
}

TEST(LocationId, PathsTooLongToFitAreToldApartByTheDeviceAddress)
{
    const uint32_t fitsLast = locationIdOf(1, "14.14.14.14.14.14", 1), highPorts = locationIdOf(1, "15", 1);
    const std::pair<const char*, unsigned> tooLong[] = { { "1.2.3.4.5.6.7", 5 }, { "20.1.2.3.4", 6 } };
    for (auto& [path, address] : tooLong)
    {
        const uint32_t id = locationIdOf(1, path, address);
        EXPECT_NE(id, locationIdOf(1, path, address + 1)) << path;
        EXPECT_GT(id, fitsLast) << path;
        EXPECT_LT(id, highPorts) << path;
    }
}
