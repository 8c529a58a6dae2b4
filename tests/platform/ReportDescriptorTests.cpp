#include "ReportDescriptor.h"

#include <gtest/gtest.h>

#include <vector>

TEST(PrimaryUsage, IsTheLastUsageBeforeTheFirstCollectionOnThePageInForceThereAndSafeOnBadDescriptors)
{
    struct Case
    {
        const char* name;
        std::vector<uint8_t> descriptor;
        bool found;
        uint32_t page, usage;
    };
    const Case cases[] = {
        { "vendor page, two-byte items",
          { 0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0xC0 },
          true,
          0xFF00,
          0x01 },
        { "second collection ignored",
          { 0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01 },
          true,
          0x01,
          0x06 },
        { "page given after the usage", { 0x09, 0x01, 0x06, 0x00, 0xFF, 0xA1, 0x01 }, true, 0xFF00, 0x01 },
        { "page changed between the usage and the collection",
          { 0x05, 0x01, 0x09, 0x06, 0x05, 0x0C, 0xA1, 0x01 },
          true,
          0x0C,
          0x06 },
        { "four-byte usage carries its page",
          { 0x05, 0x01, 0x0B, 0x01, 0x00, 0x0C, 0x00, 0xA1, 0x01 },
          true,
          0x0C,
          0x01 },
        { "long item skipped", { 0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x05, 0x01, 0x09, 0x02, 0xA1, 0x01 }, true, 0x01, 0x02 },
        { "truncated item", { 0x06, 0x00 }, false, 0, 0 },
        { "empty", {}, false, 0, 0 },
        { "usage after the collection", { 0xA1, 0x01, 0x09, 0x01 }, false, 0, 0 },
    };
    for (auto& c : cases)
    {
        uint32_t page = 0, usage = 0;
        EXPECT_EQ(platform::readPrimaryUsage(c.descriptor.data(), c.descriptor.size(), page, usage), c.found) << c.name;
        EXPECT_EQ((std::pair{ page, usage }), (std::pair{ c.page, c.usage })) << c.name;
    }
}
