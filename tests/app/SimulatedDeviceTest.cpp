// The simulated device that later suites update against must itself be trustworthy: it checks a
// block's byte sum against what it received, and stores accepted blocks at their addresses.
#include "BlockChunker.h"
#include "DeviceProtocol.h"
#include "SimulatedQel720.h"

#include <gtest/gtest.h>

using namespace DeviceProtocol;

namespace
{
class SimulatedDevice : public ::testing::Test
{
protected:
    SimulatedQel720::Outcome send(const std::uint8_t* report)
    {
        return m_device.handleOutputReport(report, kReportSize);
    }

    // Sends one block the way the worker does; returns the checksum reply.
    SimulatedQel720::Outcome sendBlock(std::uint8_t target, std::uint32_t address,
                                       const std::vector<std::uint8_t>& block, std::uint32_t sumAdjust = 0)
    {
        std::uint8_t r[kReportSize];
        buildBeginBlock(r, target, address, static_cast<std::uint32_t>(block.size()));
        EXPECT_EQ(send(r).reply->at(1), kRespAccepted);
        BlockChunker chunker(target, block.data(), static_cast<int>(block.size()));
        while (chunker.next(r))
            EXPECT_EQ(send(r).reply->at(1), kRespAccepted);
        buildBlockChecksum(r, target, byteSum(block.data(), block.size()) + sumAdjust);
        return send(r);
    }

    SimulatedQel720 m_device;
};

std::vector<std::uint8_t> pattern(size_t length, int seed)
{
    std::vector<std::uint8_t> v(length);
    for (size_t i = 0; i < length; ++i)
        v[i] = static_cast<std::uint8_t>(i * 11 + static_cast<size_t>(seed));
    return v;
}
} // namespace

TEST_F(SimulatedDevice, StoresAcceptedBlocksAtTheirAddressesPerTarget)
{
    const auto first = pattern(0x20000, 1), second = pattern(0xE000, 2);
    EXPECT_EQ(sendBlock(0xF4, 0x120000, first).reply->at(1), kRespAccepted);
    EXPECT_EQ(sendBlock(0xF4, 0x140000, second).reply->at(1), kRespAccepted);

    const auto flash = m_device.flash(0xF4);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), flash.begin() + 0x120000));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), flash.begin() + 0x140000));
    EXPECT_EQ(flash[0x11FFFF], 0xFF);
    EXPECT_EQ(m_device.blocksWritten(), 2);
    EXPECT_EQ(m_device.flash(0xF3)[0x120000], 0xFF) << "each target id has its own flash";
}

TEST_F(SimulatedDevice, RejectsABlockWhoseSumDiffersFromWhatItReceivedAndStoresNothing)
{
    const auto reply = sendBlock(0xF5, 0x160000, pattern(0x1000, 3), 1);
    EXPECT_EQ(reply.reply->at(1), kRespRejected);
    EXPECT_EQ(reply.reply->at(2), 2);
    EXPECT_EQ(m_device.blocksWritten(), 0);
}
