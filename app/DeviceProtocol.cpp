#include "DeviceProtocol.h"

#include "UpdateState.h"

#include <algorithm>
#include <cstring>

namespace DeviceProtocol
{
namespace
{
constexpr std::uint32_t kRegion3Address = 0x1D0000;
constexpr std::uint32_t kRegion3Length = 0x10000;
constexpr std::uint32_t kRegion3ShortLength = 0x1000; // region 0 skipped: only the head of region 3

void start(std::uint8_t* report, std::uint8_t targetId, std::uint8_t command)
{
    std::memset(report, 0, kReportSize);
    report[0] = targetId;
    report[1] = command;
}

void putLE32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Address, the constant 0xFF, then length: the shape shared by prepare and begin block.
void putAddressAndLength(std::uint8_t* report, std::uint32_t address, std::uint32_t length)
{
    putLE32(report + 2, address);
    report[6] = 0xFF;
    putLE32(report + 7, length);
}

std::int32_t modeRejectError(std::uint8_t reason)
{
    switch (reason)
    {
        case 1: return kErrModeReason1;
        case 2: return kErrReason2;
        case 3: return kErrReason3;
        case 4: return kErrReason4;
        default: return kErrOther;
    }
}

std::int32_t pollRejectError(std::uint8_t reason)
{
    switch (reason)
    {
        case 3: return kErrReason3;
        case 4: return kErrReason4;
        default: return kErrOther;
    }
}

constexpr Verdict ok(Outcome outcome) { return { outcome, 0 }; }
constexpr Verdict fail(std::int32_t errorId) { return { Outcome::Failed, errorId }; }

Verdict judgeModeQuery(std::uint8_t code, std::uint8_t reason)
{
    if (code == kRespAccepted)
        return ok(Outcome::Accepted);
    return fail(code == kRespRejected ? modeRejectError(reason) : kErrOther);
}

Verdict judgeBlockChecksum(std::uint8_t code, std::uint8_t reason)
{
    if (code == kRespAccepted)
        return ok(Outcome::Accepted);
    return fail(code == kRespRejected && reason == 2 ? kErrReason2 : kErrOther);
}

Verdict judgeStatusPoll(std::uint8_t code, std::uint8_t reason)
{
    switch (code)
    {
        case kRespBusy:
        case kRespBusyToo: return ok(Outcome::Busy);
        case kRespBlockDone: return ok(Outcome::BlockDone);
        case kRespRejected: return fail(pollRejectError(reason));
        default: return fail(kErrOther);
    }
}
} // namespace

void buildModeQuery(std::uint8_t* report) { start(report, kDeviceTargetId, kCmdModeQuery); }
void buildVersionQuery(std::uint8_t* report) { start(report, kDeviceTargetId, kCmdVersionQuery); }
void buildFinish(std::uint8_t* report) { start(report, kDeviceTargetId, kCmdFinish); }

void buildPrepare(std::uint8_t* report, int firstEntry, std::uint8_t targetId)
{
    start(report, targetId, kCmdPrepare);
    if (firstEntry == 0)
        putAddressAndLength(report, kRegion3Address, kRegion3Length);
    else if (firstEntry == 1)
        putAddressAndLength(report, kRegion3Address, kRegion3ShortLength);
    else
        putAddressAndLength(report, 0, 0); // a DSP update
}

void buildBeginBlock(std::uint8_t* report, std::uint8_t targetId, std::uint32_t address, std::uint32_t length)
{
    start(report, targetId, kCmdBeginBlock);
    putAddressAndLength(report, address, length);
}

void buildDataChunk(std::uint8_t* report, std::uint8_t targetId, const std::uint8_t* data, int count)
{
    start(report, targetId, kCmdDataChunk);
    std::memcpy(report + 2, data, static_cast<std::size_t>(std::clamp(count, 0, kChunkSize)));
}

void buildLastChunkLength(std::uint8_t* report, std::uint8_t targetId, int count)
{
    start(report, targetId, kCmdLastChunkLength);
    report[2] = static_cast<std::uint8_t>(count);
}

void buildBlockChecksum(std::uint8_t* report, std::uint8_t targetId, std::uint32_t sum)
{
    start(report, targetId, kCmdBlockChecksum);
    putLE32(report + 2, sum);
}

void buildStatusPoll(std::uint8_t* report, std::uint8_t targetId) { start(report, targetId, kCmdStatusPoll); }

juce::int64 blockLength(const UpdateTarget& target, juce::int64 alreadySent)
{
    return std::min(target.m_size - alreadySent, kMaxBlockSize);
}

std::uint32_t byteSum(const std::uint8_t* data, std::size_t length)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < length; ++i)
        sum += data[i];
    return sum;
}

bool passesCommonChecks(const std::uint8_t* command, const std::uint8_t* reply)
{
    if (reply[0] != command[0])
        return false;
    return !(reply[1] == kRespRejected && reply[2] == 5);
}

Verdict judgeReply(Step step, const std::uint8_t* reply)
{
    const auto code = reply[1];
    const auto reason = reply[2];

    switch (step)
    {
        case Step::ModeQuery: return judgeModeQuery(code, reason);
        case Step::VersionQuery: return code == kRespVersion ? ok(Outcome::Version) : fail(kErrOther);
        case Step::BlockChecksum: return judgeBlockChecksum(code, reason);
        case Step::StatusPoll: return judgeStatusPoll(code, reason);
        case Step::Prepare:
        case Step::BeginBlock:
        case Step::DataChunk:
        case Step::LastChunkLength: break;
    }
    return code == kRespAccepted ? ok(Outcome::Accepted) : fail(kErrOther);
}

std::uint32_t readDateWord(const std::uint8_t* fourBytes)
{
    return (std::uint32_t(fourBytes[0]) << 24) | (std::uint32_t(fourBytes[1]) << 16) |
           (std::uint32_t(fourBytes[2]) << 8) | std::uint32_t(fourBytes[3]);
}

juce::String readVersionText(const std::uint8_t* fourBytes)
{
    juce::String version;
    for (int i = 0; i < 4; ++i)
        version += juce::String::charToString(static_cast<juce::juce_wchar>(fourBytes[i]));
    return version;
}

std::uint32_t replyDateWord(const std::uint8_t* reply) { return readDateWord(reply + 2); }

juce::String replyVersionText(std::uint8_t* reply)
{
    std::uint8_t* text = reply + 7;
    if (text[0] == 0xFF && text[1] == 0xFF && text[2] == 0xFF && text[3] == 0xFF)
        std::memcpy(text, "0.00", 4);
    return readVersionText(text);
}

bool dateWordInBounds(std::uint32_t dateWord)
{
    return (dateWord >> 24) <= 0x20 && ((dateWord >> 16) & 0xFF) <= 0x50 && ((dateWord >> 8) & 0xFF) <= 0x12 &&
           (dateWord & 0xFF) <= 0x31;
}
} // namespace DeviceProtocol
