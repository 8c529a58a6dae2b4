#include <platform/ReportDescriptor.h>

#include <gtest/gtest.h>

#include <vector>

namespace
{
struct Usage
{
    bool found;
    uint32_t page, usage;
    bool operator== (const Usage& other) const { return found == other.found && page == other.page && usage == other.usage; }
};

Usage primaryUsageOf (const std::vector<uint8_t>& descriptor)
{
    Usage result {};
    result.found = platform::readPrimaryUsage (descriptor.data(), descriptor.size(), result.page, result.usage);
    return result;
}
} // namespace

TEST (PrimaryUsage, VendorDefinedPageWithTwoByteItems)
{
    EXPECT_EQ (primaryUsageOf ({ 0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0xC0 }), (Usage { true, 0xFF00, 0x01 }));
}

TEST (PrimaryUsage, KeyboardTakesTheUsageJustBeforeTheFirstCollection)
{
    // Generic Desktop / Keyboard, then a second collection whose usage must not count.
    EXPECT_EQ (primaryUsageOf ({ 0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01 }), (Usage { true, 0x01, 0x06 }));
}

TEST (PrimaryUsage, FourByteUsageCarriesItsOwnPage)
{
    EXPECT_EQ (primaryUsageOf ({ 0x05, 0x01, 0x0B, 0x01, 0x00, 0x0C, 0x00, 0xA1, 0x01 }), (Usage { true, 0x0C, 0x01 }));
}

TEST (PrimaryUsage, LongItemsAreSkippedAndTruncatedDescriptorsAreSafe)
{
    EXPECT_EQ (primaryUsageOf ({ 0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x05, 0x01, 0x09, 0x02, 0xA1, 0x01 }), (Usage { true, 0x01, 0x02 }));
    EXPECT_EQ (primaryUsageOf ({ 0x06, 0x00 }), (Usage { false, 0, 0 }));
    EXPECT_EQ (primaryUsageOf ({}), (Usage { false, 0, 0 }));
    EXPECT_EQ (primaryUsageOf ({ 0xA1, 0x01, 0x09, 0x01 }), (Usage { false, 0, 0 }));
}
