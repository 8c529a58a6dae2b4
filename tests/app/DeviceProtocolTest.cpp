#include "DeviceProtocol.h"
#include "BlockChunker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace DeviceProtocol;
using ::testing::ElementsAreArray;

namespace
{
using Report = std::array<std::uint8_t, 64>;

Report filled(std::uint8_t value)
{
    Report r;
    r.fill(value);
    return r;
}

std::vector<std::uint8_t> head(const Report& r, int n) { return { r.begin(), r.begin() + n }; }
bool restIsZero(const Report& r, int from)
{
    return std::all_of(r.begin() + from, r.end(), [](std::uint8_t b) { return b == 0; });
}

Report replyOf(std::uint8_t echo, std::uint8_t code, std::uint8_t reason = 0)
{
    Report r{};
    r[0] = echo;
    r[1] = code;
    r[2] = reason;
    return r;
}

struct Sent
{
    std::vector<Report> reports;
    std::vector<Step> steps;
};

Sent chunkAll(const std::vector<std::uint8_t>& block, std::uint8_t target = 0xF3)
{
    Sent sent;
    BlockChunker chunker(target, block.data(), static_cast<int>(block.size()));
    auto r = filled(0xEE);
    while (chunker.next(r.data()))
    {
        sent.reports.push_back(r);
        sent.steps.push_back(chunker.step());
        r.fill(0xEE); // a builder must clear what the previous command left
    }
    return sent;
}

std::vector<std::uint8_t> pattern(size_t length)
{
    std::vector<std::uint8_t> block(length);
    for (size_t i = 0; i < length; ++i)
        block[i] = static_cast<std::uint8_t>(i * 3 + 1);
    return block;
}
} // namespace

TEST(CommandLayout, prepareAnnouncesRegionThreeByTheFirstEntryToSend)
{
    struct Case
    {
        int firstEntry;
        std::uint8_t id;
        std::vector<std::uint8_t> head;
    };
    const Case cases[] = {
        { 0, 0xF1, { 0xF1, 0x08, 0x00, 0x00, 0x1D, 0x00, 0xFF, 0x00, 0x00, 0x01, 0x00 } }, // region 0 sent
        { 1, 0xF2, { 0xF2, 0x08, 0x00, 0x00, 0x1D, 0x00, 0xFF, 0x00, 0x10, 0x00, 0x00 } }, // region 0 skipped
        { 5, 0xF5, { 0xF5, 0x08, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00 } }, // a DSP update
    };
    for (const auto& c : cases)
    {
        auto r = filled(0xEE);
        buildPrepare(r.data(), c.firstEntry, c.id);
        EXPECT_EQ(head(r, 11), c.head) << "first entry " << c.firstEntry;
        EXPECT_TRUE(restIsZero(r, 11)) << "first entry " << c.firstEntry;
    }
}

TEST(CommandLayout, beginBlockForTheSecondBlockOfRegionOne)
{
    UpdateTarget region1;
    region1.m_size = 0x90000;
    region1.m_address = 0x90000;
    const auto length = blockLength(region1, 0x20000);

    auto r = filled(0xEE);
    buildBeginBlock(r.data(), 0xF2, static_cast<std::uint32_t>(region1.m_address + 0x20000),
                    static_cast<std::uint32_t>(length));
    EXPECT_THAT(head(r, 11), ElementsAreArray({ 0xF2, 0x02, 0x00, 0x00, 0x0B, 0x00, 0xFF, 0x00, 0x00, 0x02, 0x00 }));
    EXPECT_TRUE(restIsZero(r, 11));
}

TEST(CommandLayout, deviceLevelCommandsAndSmallOnes)
{
    auto r = filled(0xEE);
    buildModeQuery(r.data());
    EXPECT_THAT(head(r, 2), ElementsAreArray({ 0xF0, 0x00 }));
    EXPECT_TRUE(restIsZero(r, 2));

    buildVersionQuery(r.data());
    EXPECT_THAT(head(r, 2), ElementsAreArray({ 0xF0, 0x01 }));
    EXPECT_TRUE(restIsZero(r, 2));

    buildFinish(r.data());
    EXPECT_THAT(head(r, 2), ElementsAreArray({ 0xF0, 0x06 }));
    EXPECT_TRUE(restIsZero(r, 2));

    buildStatusPoll(r.data(), 0xF7);
    EXPECT_THAT(head(r, 2), ElementsAreArray({ 0xF7, 0x05 }));
    EXPECT_TRUE(restIsZero(r, 2));

    buildBlockChecksum(r.data(), 0xF4, 0x01FE0304);
    EXPECT_THAT(head(r, 6), ElementsAreArray({ 0xF4, 0x04, 0x04, 0x03, 0xFE, 0x01 }));
    EXPECT_TRUE(restIsZero(r, 6));
}

TEST(BlockSizes, everyEntryIsCutIntoBlocksOfAtMost0x20000)
{
    auto blocksOf = [](juce::int64 size)
    {
        UpdateTarget t;
        t.m_size = size;
        std::vector<juce::int64> blocks;
        for (juce::int64 sent = 0; sent < size; sent += blockLength(t, sent))
            blocks.push_back(blockLength(t, sent));
        return blocks;
    };
    EXPECT_THAT(blocksOf(0x90000), ElementsAreArray<juce::int64>({ 0x20000, 0x20000, 0x20000, 0x20000, 0x10000 }));
    EXPECT_THAT(blocksOf(0xB0000),
                ElementsAreArray<juce::int64>({ 0x20000, 0x20000, 0x20000, 0x20000, 0x20000, 0x10000 }));
    EXPECT_THAT(blocksOf(0x2E000), ElementsAreArray<juce::int64>({ 0x20000, 0xE000 }));
    EXPECT_THAT(blocksOf(0x40000), ElementsAreArray<juce::int64>({ 0x20000, 0x20000 }));
    EXPECT_THAT(blocksOf(0x1000), ElementsAreArray<juce::int64>({ 0x1000 }));
}

TEST(BlockChunks, chunkCountsAndLastChunkOfTheUsualBlockSizes)
{
    struct Case
    {
        size_t length;
        size_t fullChunks;
        int last;
    };
    for (const auto& c :
         { Case{ 0x20000, 2114, 4 }, Case{ 0x10000, 1057, 2 }, Case{ 0xE000, 924, 56 }, Case{ 0x1000, 66, 4 } })
    {
        const auto block = pattern(c.length);
        const auto sent = chunkAll(block);
        ASSERT_EQ(sent.reports.size(), c.fullChunks + 2) << std::hex << c.length;

        for (size_t i = 0; i < c.fullChunks; ++i)
            ASSERT_EQ(sent.steps[i], Step::DataChunk);

        const auto& length = sent.reports[c.fullChunks];
        EXPECT_EQ(sent.steps[c.fullChunks], Step::LastChunkLength);
        EXPECT_THAT(head(length, 3), ElementsAreArray({ 0xF3, 0x07, c.last }));
        EXPECT_TRUE(restIsZero(length, 3));

        const auto& last = sent.reports.back();
        EXPECT_EQ(last[1], 0x03);
        EXPECT_TRUE(std::equal(block.end() - c.last, block.end(), last.begin() + 2));
        EXPECT_TRUE(restIsZero(last, 2 + c.last)) << "the bytes after the last chunk's data stay 0";
    }
}

TEST(BlockChunks, chunksCarryTheBlockInOrder)
{
    const auto block = pattern(1000);
    std::vector<std::uint8_t> carried;
    int announced = -1;
    for (const auto& r : chunkAll(block).reports)
    {
        if (r[1] == kCmdLastChunkLength)
        {
            announced = r[2];
            continue;
        }
        const int count = announced >= 0 ? announced : kChunkSize;
        carried.insert(carried.end(), r.begin() + 2, r.begin() + 2 + count);
    }
    EXPECT_EQ(carried, block);
}

TEST(BlockChunks, multipleOf62EndsWithAnnouncedFullChunk)
{
    const auto sent = chunkAll(pattern(124));
    ASSERT_EQ(sent.reports.size(), 3u);
    EXPECT_EQ(sent.steps[0], Step::DataChunk);
    EXPECT_EQ(sent.reports[1][1], kCmdLastChunkLength);
    EXPECT_EQ(sent.reports[1][2], 62);
    EXPECT_EQ(sent.reports[2][1], kCmdDataChunk);
}

TEST(BlockChunks, smallBlockBeginsWithTheLength)
{
    for (size_t length : { size_t(1), size_t(61), size_t(62) })
    {
        const auto sent = chunkAll(pattern(length));
        ASSERT_EQ(sent.reports.size(), 2u);
        EXPECT_EQ(sent.reports[0][1], kCmdLastChunkLength);
        EXPECT_EQ(sent.reports[0][2], length);
    }
}

TEST(BlockChunks, countedBytesAndChunkStartsFollowTheProgressRule)
{
    const auto block = pattern(130);
    BlockChunker chunker(0xF1, block.data(), 130);
    Report r{};
    std::vector<int> starts, counted;
    while (chunker.next(r.data()))
    {
        if (chunker.startsChunk())
            starts.push_back(chunker.chunkStart());
        counted.push_back(chunker.bytesCounted());
    }
    EXPECT_THAT(starts, ElementsAreArray({ 0, 62, 124 }));
    EXPECT_THAT(counted, ElementsAreArray({ 62, 124, 130, 130 })) << "the last chunk counts when announced";
}

TEST(ByteSum, sumsUnsignedBytesModulo2To32)
{
    std::vector<std::uint8_t> ff(0x20000, 0xFF);
    EXPECT_EQ(byteSum(ff.data(), ff.size()), 0x20000u * 0xFF);
    const std::uint8_t mixed[] = { 0x80, 0x7F, 0x01 };
    EXPECT_EQ(byteSum(mixed, 3), 0x100u);
}

TEST(ReplyChecks, echoMismatchOrReasonFiveFailWhateverTheCommand)
{
    Report command{};
    buildStatusPoll(command.data(), 0xF3);
    EXPECT_TRUE(passesCommonChecks(command.data(), replyOf(0xF3, 0x85).data()));
    EXPECT_FALSE(passesCommonChecks(command.data(), replyOf(0xF2, 0x85).data()));
    EXPECT_FALSE(passesCommonChecks(command.data(), replyOf(0xF3, 0x81, 5).data()));
    EXPECT_TRUE(passesCommonChecks(command.data(), replyOf(0xF3, 0x80, 5).data())) << "reason 5 counts only with 0x81";
}

TEST(ReplyJudging, rejectReasonsMapPerCommand)
{
    // reason:            1      2      3      4      5      6
    const std::int32_t mode[] = { 0xE31, 0xE33, 0xE34, 0xE35, 0xE41, 0xE41 };
    const std::int32_t checksum[] = { 0xE41, 0xE33, 0xE41, 0xE41, 0xE41, 0xE41 };
    const std::int32_t poll[] = { 0xE41, 0xE41, 0xE34, 0xE35, 0xE41, 0xE41 };
    for (int reason = 1; reason <= 6; ++reason)
    {
        const auto reply = replyOf(0xF0, kRespRejected, static_cast<std::uint8_t>(reason));
        EXPECT_EQ(judgeReply(Step::ModeQuery, reply.data()).errorId, mode[reason - 1]) << reason;
        EXPECT_EQ(judgeReply(Step::BlockChecksum, reply.data()).errorId, checksum[reason - 1]) << reason;
        EXPECT_EQ(judgeReply(Step::StatusPoll, reply.data()).errorId, poll[reason - 1]) << reason;
        for (auto step :
             { Step::VersionQuery, Step::Prepare, Step::BeginBlock, Step::DataChunk, Step::LastChunkLength })
            EXPECT_EQ(judgeReply(step, reply.data()).errorId, 0xE41) << reason;
    }
}

TEST(ReplyJudging, awaitedCodesAndUnawaitedOnes)
{
    auto outcome = [](Step step, std::uint8_t code) { return judgeReply(step, replyOf(0xF1, code).data()).outcome; };
    EXPECT_EQ(outcome(Step::ModeQuery, 0x80), Outcome::Accepted);
    EXPECT_EQ(outcome(Step::VersionQuery, 0x82), Outcome::Version);
    EXPECT_EQ(outcome(Step::StatusPoll, 0x83), Outcome::Busy);
    EXPECT_EQ(outcome(Step::StatusPoll, 0x84), Outcome::Busy);
    EXPECT_EQ(outcome(Step::StatusPoll, 0x85), Outcome::BlockDone);
    for (auto step : { Step::Prepare, Step::BeginBlock, Step::DataChunk, Step::LastChunkLength, Step::BlockChecksum })
        EXPECT_EQ(outcome(step, 0x80), Outcome::Accepted);

    EXPECT_EQ(judgeReply(Step::BeginBlock, replyOf(0xF1, 0x85).data()).errorId, 0xE41);
    EXPECT_EQ(judgeReply(Step::VersionQuery, replyOf(0xF0, 0x80).data()).errorId, 0xE41);
    EXPECT_EQ(judgeReply(Step::StatusPoll, replyOf(0xF1, 0x80).data()).errorId, 0xE41);
    EXPECT_EQ(judgeReply(Step::ModeQuery, replyOf(0xF0, 0x82).data()).errorId, 0xE41);
}

TEST(VersionReply, allFfMeansNoVersionAndReadsAs000)
{
    auto reply = replyOf(0xF0, 0x82);
    const std::uint8_t date[] = { 0x20, 0x24, 0x03, 0x15 };
    std::copy(date, date + 4, reply.begin() + 2);
    std::fill(reply.begin() + 7, reply.begin() + 11, 0xFF);

    EXPECT_EQ(replyDateWord(reply.data()), 0x20240315u);
    EXPECT_EQ(replyVersionText(reply.data()), "0.00");
    EXPECT_THAT(std::vector<std::uint8_t>(reply.begin() + 7, reply.begin() + 11),
                ElementsAreArray({ '0', '.', '0', '0' }));
}

TEST(VersionReply, highBytesAreCharactersNotSigned)
{
    auto reply = replyOf(0xF0, 0x82);
    const std::uint8_t text[] = { '1', 0xB7, '2', 0xFF };
    std::copy(text, text + 4, reply.begin() + 7);
    const auto version = replyVersionText(reply.data());
    ASSERT_EQ(version.length(), 4);
    EXPECT_EQ(version[1], (juce::juce_wchar)0xB7);
    EXPECT_EQ(version[3], (juce::juce_wchar)0xFF);
}

TEST(DateBounds, upperBoundsPerByteOnly)
{
    EXPECT_TRUE(dateWordInBounds(0x20501231));
    EXPECT_TRUE(dateWordInBounds(0x00000000));
    EXPECT_FALSE(dateWordInBounds(0x21000101));
    EXPECT_FALSE(dateWordInBounds(0x20510101));
    EXPECT_FALSE(dateWordInBounds(0x20241301));
    EXPECT_FALSE(dateWordInBounds(0x20241232));
}
