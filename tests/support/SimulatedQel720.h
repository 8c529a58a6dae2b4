#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The protocol side of a simulated QEL-720, without any transport: it takes each output report
// the host sends and says what the device answers. It keeps what it received as a flash image per
// target id, and can be told to misbehave at a chosen command. A transport (fake source or
// umockdev node) feeds it and delivers its replies. Thread-safe: transports call it from their own
// threads while tests read its state.
namespace testsupport
{
class FakeHidSource;
class UmockdevHidTestbed;
} // namespace testsupport

class SimulatedQel720
{
public:
    using Report = std::array<std::uint8_t, 64>;

    struct Outcome
    {
        std::optional<Report> reply; // what the device sends back, if anything
        bool removeDevice = false;   // the transport should make the device disappear now
    };

    enum class FaultKind
    {
        NoReply,   // swallow the command
        WrongEcho, // answer as usual, but with byte 0 changed
        Reject,    // answer 0x81 with the given reason
        Remove     // disappear instead of answering
    };

    struct Fault
    {
        std::uint8_t command; // command code (byte 1) at which the fault strikes
        int occurrence;       // 1 = the first such command, 2 = the second, ...; 0 = every one
        FaultKind kind;
        std::uint8_t reason = 0;
    };

    static constexpr std::size_t kFlashSize = 0x200000;

    SimulatedQel720();

    std::string attach(testsupport::FakeHidSource& source, std::uint32_t locationID = 0x01100000);
    int attach(testsupport::UmockdevHidTestbed& testbed);

    // Called by the transport with each output report (report ID already stripped).
    Outcome handleOutputReport(const std::uint8_t* data, std::size_t length);

    // Set-up, before or during a test.
    void setVersion(std::uint32_t dateWord, const char* fourCharacters);
    void setVersionBytes(std::uint32_t dateWord, const std::uint8_t* fourBytes);
    void setBusyPolls(int count); // busy replies before each block reports done
    void addFault(const Fault& fault);

    // What the device saw.
    std::vector<Report> commands() const;
    std::vector<std::uint8_t> flash(std::uint8_t targetId) const; // kFlashSize bytes, 0xFF where never written
    bool finished() const;
    int blocksWritten() const;
    Report lastPrepare() const;

private:
    Outcome answer(const Report& command);
    Report reply(const Report& command, std::uint8_t code, std::uint8_t reason = 0) const;
    Outcome onDataChunk(const Report& command);
    Outcome onChecksum(const Report& command);
    Outcome onStatusPoll(const Report& command);
    std::optional<Fault> faultFor(const Report& command);

    mutable std::mutex m_mutex;
    std::vector<Report> m_commands;
    std::map<std::uint8_t, int> m_commandCounts;
    std::vector<Fault> m_faults;
    std::map<std::uint8_t, std::vector<std::uint8_t>> m_flash;

    std::uint32_t m_dateWord = 0x20240101;
    std::uint8_t m_version[4] = { '1', '.', '0', '0' };
    int m_busyPolls = 0;
    int m_busyLeft = 0;

    // The block being received.
    std::uint32_t m_blockAddress = 0;
    std::uint32_t m_blockLength = 0;
    std::vector<std::uint8_t> m_block;
    int m_announcedLastChunk = -1;
    bool m_blockVerified = false;
    int m_blocksWritten = 0;
    bool m_finished = false;
    Report m_lastPrepare{};
};
