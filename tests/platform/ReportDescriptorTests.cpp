#include "ReportDescriptor.h"

#include <gtest/gtest.h>

#include <vector>

// The primary usage is the last usage before the first collection, on the page in force when that
// collection opens (a four-byte usage carries its own); bad descriptors yield none.
TEST(PrimaryUsage, IsTheLastUsageBeforeTheFirstCollectionOnThePageInForceThere)
{
    const struct
    {
        const char* name;
        std::vector<uint8_t> descriptor;
        uint32_t page, usage; // 0, 0: none found
    } cases[] = {
        { "vendor page, two-byte items", { 0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0xC0 }, 0xFF00, 1 },
        { "second collection ignored", { 0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x0C, 0x09, 0x01, 0xA1 }, 1, 6 },
        { "page given after the usage", { 0x09, 0x01, 0x06, 0x00, 0xFF, 0xA1, 0x01 }, 0xFF00, 1 },
        { "page changed before the collection", { 0x05, 0x01, 0x09, 0x06, 0x05, 0x0C, 0xA1, 0x01 }, 0x0C, 6 },
        { "four-byte usage", { 0x05, 0x01, 0x0B, 0x01, 0x00, 0x0C, 0x00, 0xA1, 0x01 }, 0x0C, 1 },
        { "long item skipped", { 0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x05, 0x01, 0x09, 0x02, 0xA1, 0x01 }, 1, 2 },
        { "truncated item", { 0x06, 0x00 }, 0, 0 },
        { "empty", {}, 0, 0 },
        { "usage after the collection", { 0xA1, 0x01, 0x09, 0x01 }, 0, 0 },
    };
    for (auto& c : cases)
    {
        uint32_t page = 7, usage = 7;
        EXPECT_EQ(platform::readPrimaryUsage(c.descriptor.data(), c.descriptor.size(), page, usage), c.usage != 0)
            << c.name;
        EXPECT_EQ((std::pair{ page, usage }), (std::pair{ c.page, c.usage })) << c.name;
    }
}
