#include "DeviceProtocol.h"
#include "BlockChunker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <tuple>
#include <vector>

using namespace DeviceProtocol;

namespace
{
using Report = std::array<std::uint8_t, kReportSize>;
using Bytes = std::vector<std::uint8_t>;

// The first bytes as given, the rest of the 64 zero.
Report padded(const Bytes& head)
{
    Report r{};
    std::copy(head.begin(), head.end(), r.begin());
    return r;
}

Report reply(std::uint8_t echo, std::uint8_t code, std::uint8_t reason = 0) { return padded({ echo, code, reason }); }

// Each command built over a report full of what the previous command left.
template <typename Build, typename... Args>
Report built(Build build, Args... args)
{
    Report r;
    r.fill(0xEE);
    build(r.data(), args...);
    return r;
}
} // namespace

TEST(Commands, areLaidOutByteForByteWithLittleEndianFields)
{
    const std::pair<Report, Bytes> cases[] = {
        { built(buildPrepare, 0, 0xF1), { 0xF1, 0x08, 0x00, 0x00, 0x1D, 0x00, 0xFF, 0x00, 0x00, 0x01, 0x00 } },
        { built(buildPrepare, 1, 0xF2), { 0xF2, 0x08, 0x00, 0x00, 0x1D, 0x00, 0xFF, 0x00, 0x10, 0x00, 0x00 } },
        { built(buildPrepare, 5, 0xF5), { 0xF5, 0x08, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00 } },
        { built(buildBeginBlock, 0xF2, 0x90000 + 0x20000, 0x20000),
          { 0xF2, 0x02, 0x00, 0x00, 0x0B, 0x00, 0xFF, 0x00, 0x00, 0x02, 0x00 } },
        { built(buildBlockChecksum, 0xF4, 0x01FE0304), { 0xF4, 0x04, 0x04, 0x03, 0xFE, 0x01 } },
        { built(buildModeQuery), { 0xF0, 0x00 } },
        { built(buildVersionQuery), { 0xF0, 0x01 } },
        { built(buildFinish), { 0xF0, 0x06 } },
        { built(buildStatusPoll, 0xF7), { 0xF7, 0x05 } },
    };
    for (const auto& [report, head] : cases)
        EXPECT_EQ(report, padded(head)) << std::hex << "target " << int(head[0]) << ", command " << int(head[1]);
}

// Full chunks, then the last chunk's length, then the last chunk (1 to 62 bytes, zero after);
// the progress counts a chunk from its first command on, the last one once it is announced.
TEST(Blocks, goOutInFullChunksThenTheAnnouncedLastChunk)
{
    using Command = std::tuple<Report, Step, bool, int, int>; // step, starts a chunk, its start, bytes counted
    const std::tuple<int, int, int> cases[] = { { 0x20000, 2114, 4 }, { 0x10000, 1057, 2 }, { 0xE000, 924, 56 },
                                                { 0x1000, 66, 4 },    { 124, 1, 62 },       { 62, 0, 62 },
                                                { 61, 0, 61 },        { 1, 0, 1 } }; // length, full chunks, last
    for (const auto& [length, fullChunks, last] : cases)
    {
        Bytes block((size_t)length);
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<std::uint8_t>(i * 3 + 1 + (i >> 8));
        const auto chunk = [&](int from, int count)
        {
            Bytes bytes{ 0xF3, kCmdDataChunk };
            bytes.insert(bytes.end(), block.begin() + from, block.begin() + from + count);
            return padded(bytes);
        };
        std::vector<Command> expected;
        for (int n = 0; n < fullChunks; ++n)
            expected.emplace_back(chunk(62 * n, 62), Step::DataChunk, true, 62 * n, 62 * (n + 1));
        const int start = 62 * fullChunks;
        expected.emplace_back(padded({ 0xF3, kCmdLastChunkLength, (std::uint8_t)last }), Step::LastChunkLength, true,
                              start, length);
        expected.emplace_back(chunk(start, last), Step::DataChunk, false, start, length);

        BlockChunker chunker(0xF3, block.data(), length);
        std::vector<Command> sent;
        for (Report r; r.fill(0xEE), chunker.next(r.data());)
            sent.emplace_back(r, chunker.step(), chunker.startsChunk(), chunker.chunkStart(), chunker.bytesCounted());
        EXPECT_EQ(sent.size(), expected.size()) << "block of " << length;
        EXPECT_EQ(std::mismatch(sent.begin(), sent.end(), expected.begin(), expected.end()).first - sent.begin(),
                  (long)std::min(sent.size(), expected.size()))
            << "first wrong command of the block of " << length;
    }
}

TEST(Replies, eachCommandTakesOnlyItsAwaitedCodes)
{
    const std::tuple<Step, std::uint8_t, Outcome> cases[] = {
        { Step::ModeQuery, 0x80, Outcome::Accepted },     { Step::VersionQuery, 0x82, Outcome::Version },
        { Step::Prepare, 0x80, Outcome::Accepted },       { Step::BeginBlock, 0x80, Outcome::Accepted },
        { Step::DataChunk, 0x80, Outcome::Accepted },     { Step::LastChunkLength, 0x80, Outcome::Accepted },
        { Step::BlockChecksum, 0x80, Outcome::Accepted }, { Step::StatusPoll, 0x83, Outcome::Busy },
        { Step::StatusPoll, 0x84, Outcome::Busy },        { Step::StatusPoll, 0x85, Outcome::BlockDone },
        { Step::ModeQuery, 0x82, Outcome::Failed },       { Step::VersionQuery, 0x80, Outcome::Failed },
        { Step::BeginBlock, 0x85, Outcome::Failed },      { Step::BlockChecksum, 0x85, Outcome::Failed },
        { Step::StatusPoll, 0x80, Outcome::Failed },
    };
    for (const auto& [step, code, outcome] : cases)
    {
        const auto verdict = judgeReply(step, reply(0xF1, code).data());
        EXPECT_EQ(verdict.outcome, outcome) << "step " << int(step) << ", code " << std::hex << int(code);
        EXPECT_EQ(verdict.errorId, outcome == Outcome::Failed ? 0xE41 : 0)
            << "step " << int(step) << ", code " << int(code);
    }
}

// Four 0xFF bytes mean "no version" and are rewritten in the reply; any other byte is the
// character of that code.
TEST(Replies, versionReplyGivesABigEndianDateAndFourFfAs000)
{
    const std::pair<Bytes, Bytes> cases[] = {
        { { 0xFF, 0xFF, 0xFF, 0xFF }, { '0', '.', '0', '0' } },
        { { 0xFF, 0xFF, 0xFF, '0' }, { 0xFF, 0xFF, 0xFF, '0' } },
        { { '1', 0xB7, '2', 0xFF }, { '1', 0xB7, '2', 0xFF } },
    };
    for (const auto& [text, after] : cases)
    {
        SCOPED_TRACE(::testing::PrintToString(text));
        auto r = padded({ 0xF0, 0x82, 0x20, 0x24, 0x03, 0x15, 0x00, text[0], text[1], text[2], text[3] });
        juce::String expected;
        for (auto byte : after)
            expected += juce::String::charToString(byte);
        EXPECT_EQ(replyDateWord(r.data()), 0x20240315u);
        EXPECT_EQ(replyVersionText(r.data()), expected);
        EXPECT_EQ(Bytes(r.begin() + 7, r.begin() + 11), after);
    }
}
