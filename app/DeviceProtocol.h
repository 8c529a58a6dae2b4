#pragma once

#include "UpdateTarget.h"

#include <cstddef>
#include <cstdint>

// The QEL-720's report protocol: the layout of every 64-byte command the updater sends and the
// judging of the device's replies. Pure functions on caller-owned buffers: the worker fills its
// send buffer with them and judges its reply buffer; nothing here keeps state or touches the device.
namespace DeviceProtocol
{
constexpr int kReportSize = 64;
constexpr int kChunkSize = 62; // data bytes in one data chunk (bytes 2..63)
constexpr juce::int64 kMaxBlockSize = 0x20000;
constexpr std::uint8_t kDeviceTargetId = 0xF0;

enum Command : std::uint8_t
{
    kCmdModeQuery = 0x00,
    kCmdVersionQuery = 0x01,
    kCmdBeginBlock = 0x02,
    kCmdDataChunk = 0x03,
    kCmdBlockChecksum = 0x04,
    kCmdStatusPoll = 0x05,
    kCmdFinish = 0x06,
    kCmdLastChunkLength = 0x07,
    kCmdPrepare = 0x08
};

enum Response : std::uint8_t
{
    kRespAccepted = 0x80,
    kRespRejected = 0x81, // byte 2 holds the reason
    kRespVersion = 0x82,
    kRespBusy = 0x83,
    kRespBusyToo = 0x84, // treated exactly like kRespBusy
    kRespBlockDone = 0x85
};

// Every builder first zeroes all 64 bytes; multi-byte fields are little-endian.
void buildModeQuery(std::uint8_t* report);
void buildVersionQuery(std::uint8_t* report);
void buildFinish(std::uint8_t* report);
// firstEntry: index in the update table of the first entry to send; it decides the region-3
// address and length that the device prepares for.
void buildPrepare(std::uint8_t* report, int firstEntry, std::uint8_t targetId);
void buildBeginBlock(std::uint8_t* report, std::uint8_t targetId, std::uint32_t address, std::uint32_t length);
void buildDataChunk(std::uint8_t* report, std::uint8_t targetId, const std::uint8_t* data, int count);
void buildLastChunkLength(std::uint8_t* report, std::uint8_t targetId, int count);
void buildBlockChecksum(std::uint8_t* report, std::uint8_t targetId, std::uint32_t sum);
void buildStatusPoll(std::uint8_t* report, std::uint8_t targetId);

// Length of the next block of an entry of which alreadySent bytes have gone out.
juce::int64 blockLength(const UpdateTarget& target, juce::int64 alreadySent);
// Sum of the block's bytes, each unsigned, modulo 2^32.
std::uint32_t byteSum(const std::uint8_t* data, std::size_t length);

// The commands the updater sends, for judging their replies.
enum class Step
{
    ModeQuery,
    VersionQuery,
    Prepare,
    BeginBlock,
    DataChunk,
    LastChunkLength,
    BlockChecksum,
    StatusPoll
};

// The checks made on every reply before its code is looked at: byte 0 echoes the command's
// byte 0, and the reply is not a reject with reason 5. False means error 0xE41.
bool passesCommonChecks(const std::uint8_t* command, const std::uint8_t* reply);

enum class Outcome
{
    Accepted,  // 0x80 where it is awaited
    Version,   // 0x82 after the version query
    Busy,      // 0x83 or 0x84 after a status poll
    BlockDone, // 0x85 after a status poll
    Failed     // anything else; Verdict::errorId says which error
};

struct Verdict
{
    Outcome outcome;
    std::int32_t errorId; // 0 unless outcome is Failed
};

// Judges the reply code (byte 1) and reason (byte 2) of a reply to the given command.
Verdict judgeReply(Step step, const std::uint8_t* reply);

// The version reply: bytes 2..5 as one big-endian word.
std::uint32_t replyDateWord(const std::uint8_t* reply);
// Bytes 7..10 as four characters; four 0xFF bytes mean "no version" and are rewritten in the
// reply to "0.00" first, so the reply buffer and the text agree.
juce::String replyVersionText(std::uint8_t* reply);

// A date word or a version text as the update file and the device both store them: four bytes,
// most significant first; four bytes each taken as one character whose code is the byte's value.
std::uint32_t readDateWord(const std::uint8_t* fourBytes);
juce::String readVersionText(const std::uint8_t* fourBytes);

// Upper bounds of the four BCD bytes of a date word (century, year, month, day), most
// significant first; the digits themselves are not checked. Shared by the file and device checks.
bool dateWordInBounds(std::uint32_t dateWord);
} // namespace DeviceProtocol
