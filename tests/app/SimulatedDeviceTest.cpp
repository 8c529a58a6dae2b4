// The simulated device that later suites update against must itself keep to the protocol:
// what it stores is exactly what a correct host sent, and its faults strike where asked.
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

TEST_F(SimulatedDevice, storesTwoBlocksAtTheirAddresses)
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

TEST_F(SimulatedDevice, wrongChecksumIsRejectedWithReasonTwoAndNothingStored)
{
    const auto reply = sendBlock(0xF5, 0x160000, pattern(0x1000, 3), 1);
    EXPECT_EQ(reply.reply->at(1), kRespRejected);
    EXPECT_EQ(reply.reply->at(2), 2);
    EXPECT_EQ(m_device.blocksWritten(), 0);
}

TEST_F(SimulatedDevice, pollsBusyTheChosenNumberOfTimesThenDone)
{
    m_device.setBusyPolls(2);
    sendBlock(0xF1, 0, pattern(100, 4));
    std::uint8_t r[kReportSize];
    buildStatusPoll(r, 0xF1);
    EXPECT_EQ(send(r).reply->at(1), kRespBusy);
    EXPECT_EQ(send(r).reply->at(1), kRespBusy);
    EXPECT_EQ(send(r).reply->at(1), kRespBlockDone);
}

TEST_F(SimulatedDevice, answersVersionAndMode)
{
    m_device.setVersion(0x20240315, "1.42");
    std::uint8_t r[kReportSize];
    buildVersionQuery(r);
    auto reply = *send(r).reply;
    EXPECT_EQ(judgeReply(Step::VersionQuery, reply.data()).outcome, Outcome::Version);
    EXPECT_EQ(replyDateWord(reply.data()), 0x20240315u);
    EXPECT_EQ(replyVersionText(reply.data()), "1.42");

    buildModeQuery(r);
    EXPECT_EQ(send(r).reply->at(1), kRespAccepted);
    buildFinish(r);
    EXPECT_FALSE(send(r).reply.has_value());
    EXPECT_TRUE(m_device.finished());
}

TEST_F(SimulatedDevice, faultsStrikeAtTheChosenOccurrenceOnly)
{
    m_device.addFault({ kCmdDataChunk, 2, SimulatedQel720::FaultKind::NoReply });
    m_device.addFault({ kCmdStatusPoll, 1, SimulatedQel720::FaultKind::Reject, 4 });
    m_device.addFault({ kCmdModeQuery, 0, SimulatedQel720::FaultKind::WrongEcho });
    m_device.addFault({ kCmdVersionQuery, 1, SimulatedQel720::FaultKind::Remove });

    std::uint8_t r[kReportSize];
    const auto chunk = pattern(62, 5);
    buildDataChunk(r, 0xF2, chunk.data(), 62);
    EXPECT_TRUE(send(r).reply.has_value());
    EXPECT_FALSE(send(r).reply.has_value());
    EXPECT_TRUE(send(r).reply.has_value());

    buildStatusPoll(r, 0xF2);
    const auto rejected = *send(r).reply;
    EXPECT_EQ(judgeReply(Step::StatusPoll, rejected.data()).errorId, 0xE35);

    buildModeQuery(r);
    EXPECT_FALSE(passesCommonChecks(r, send(r).reply->data()));

    buildVersionQuery(r);
    const auto gone = send(r);
    EXPECT_TRUE(gone.removeDevice);
    EXPECT_FALSE(gone.reply.has_value());
}
