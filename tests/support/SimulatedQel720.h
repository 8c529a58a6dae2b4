#pragma once

#include <FakeHidSource.h>
#include <UmockdevHidTestbed.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// A simulated QEL-720. Its protocol side takes each output report the host sends and says what
// the device answers; it keeps what it received as a flash image per target id, and can be told
// to misbehave at a chosen command. attach() puts it behind a device of the in-process fake source
// or behind an emulated hidraw node of the umockdev testbed, which feed it the host's reports and
// deliver its replies (or make the device disappear when it says so):
//
//   SimulatedQel720 device;
//   std::string key = device.attach(source);  // source.removeDevice(key) unplugs it
//   int id = device.attach(testbed);          // testbed.removeDevice(id) unplugs it
//
// Threading: thread-safe. The fake source runs it on the sending thread, inside
// IOHIDDeviceSetReport; the testbed on its responder thread; tests read its state from theirs.
// Ownership: the device must outlive the source or testbed it is attached to (or its removal
// there); it owns neither.
class SimulatedQel720
{
public:
    using Report = std::array<std::uint8_t, 64>;
    // reply: what the device sends back, if anything; removeDevice: it disappears after that.
    using Outcome = testsupport::OutputReportOutcome;

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

    // Adds a QEL-720 answered by this simulation to the fake source; returns its key.
    std::string attach(testsupport::FakeHidSource& source, std::uint32_t locationID = 0x01100000,
                       std::uint32_t versionNumber = 0x0100);
    // Adds it behind an emulated hidraw node; returns the testbed's id (0 when it cannot be made).
    testsupport::UmockdevHidTestbed::DeviceId attach(testsupport::UmockdevHidTestbed& testbed,
                                                     const testsupport::UmockdevHidTestbed::DeviceSpec& spec = {});
    // Sends an input report the host did not ask for, through the transport last attached to.
    void injectReport(const Report& report);

    // Called by the transport with each output report (report ID already stripped).
    Outcome handleOutputReport(const std::uint8_t* data, std::size_t length);

    // Set-up, before or during a test.
    void setVersion(std::uint32_t dateWord, const char* fourCharacters);
    void setVersionBytes(std::uint32_t dateWord, const std::uint8_t* fourBytes);
    // Busy replies before each block reports done.
    void setBusyPolls(int count)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_busyPolls = count;
    }
    void addFault(const Fault& fault)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_faults.push_back(fault);
    }

    // What the device saw.
    std::vector<Report> commands() const { return copy(m_commands); }
    std::vector<std::uint8_t> flash(std::uint8_t targetId) const; // kFlashSize bytes, 0xFF where never written
    bool finished() const { return copy(m_finished); }
    int blocksWritten() const { return copy(m_blocksWritten); }
    Report lastPrepare() const { return copy(m_lastPrepare); }

private:
    Outcome answer(const Report& command);
    template <typename T>
    T copy(const T& member) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return member;
    }

    mutable std::mutex m_mutex;
    std::function<void(const std::vector<std::uint8_t>&)> m_inject;
    std::vector<Report> m_commands;
    std::map<std::uint8_t, int> m_commandCounts;
    std::vector<Fault> m_faults;
    std::map<std::uint8_t, std::vector<std::uint8_t>> m_flash;

    std::uint32_t m_dateWord = 0x20240101;
    std::uint8_t m_version[4] = { '1', '.', '0', '0' };
    int m_busyPolls = 0, m_busyLeft = 0;

    // The block being received.
    std::uint32_t m_blockAddress = 0, m_blockLength = 0;
    std::vector<std::uint8_t> m_block;
    int m_announcedLastChunk = -1, m_blocksWritten = 0;
    bool m_blockVerified = false, m_finished = false;
    Report m_lastPrepare{};
};
