#include "SimulatedQel720.h"

#include <algorithm>
#include <cstring>

namespace
{
std::uint32_t readLE32(const std::uint8_t* at) { return at[0] | at[1] << 8 | at[2] << 16 | std::uint32_t(at[3]) << 24; }

constexpr std::uint8_t kAccepted = 0x80, kRejected = 0x81, kVersion = 0x82, kBusy = 0x83, kDone = 0x85;

// The reply to `command`: its target echoed, then the code and the reason.
SimulatedQel720::Outcome reply(const SimulatedQel720::Report& command, std::uint8_t code, std::uint8_t reason = 0)
{
    return { SimulatedQel720::Report{ command[0], code, reason }, false };
}
} // namespace

std::string SimulatedQel720::attach(testsupport::FakeHidSource& source, std::uint32_t locationID,
                                    std::uint32_t versionNumber)
{
    const std::string key = source.addDevice(testsupport::FakeHidSource::qel720(locationID, versionNumber));
    source.setReportHandler(key, [this](const std::uint8_t* report, std::size_t length)
                            { return handleOutputReport(report, length); });
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inject = [&source, key](const std::vector<std::uint8_t>& report) { source.injectInputReport(key, report); };
    return key;
}

testsupport::UmockdevHidTestbed::DeviceId
SimulatedQel720::attach(testsupport::UmockdevHidTestbed& testbed,
                        const testsupport::UmockdevHidTestbed::DeviceSpec& spec)
{
    const auto id = testbed.addDevice(spec);
    if (id == 0)
        return id;
    testbed.setReportHandler(id, [this](const std::uint8_t* report, std::size_t length)
                             { return handleOutputReport(report, length); });
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inject = [&testbed, id](const std::vector<std::uint8_t>& report) { testbed.writeInputReport(id, report); };
    return id;
}

void SimulatedQel720::injectReport(const Report& report)
{
    // Outside the lock: the transport may be running this simulation meanwhile.
    if (const auto inject = copy(m_inject))
        inject({ report.begin(), report.end() });
}

SimulatedQel720::Outcome SimulatedQel720::handleOutputReport(const std::uint8_t* data, std::size_t length)
{
    Report command{};
    std::memcpy(command.data(), data, std::min(length, command.size()));

    std::lock_guard<std::mutex> lock(m_mutex);
    m_commands.push_back(command);
    const int count = ++m_commandCounts[command[1]];
    for (const auto& fault : m_faults)
    {
        if (fault.command != command[1] || (fault.occurrence != 0 && fault.occurrence != count))
            continue;
        switch (fault.kind)
        {
            case FaultKind::NoReply: return {};
            case FaultKind::Remove: return { std::nullopt, true };
            case FaultKind::Reject: return reply(command, kRejected, fault.reason);
            case FaultKind::WrongEcho:
            {
                auto outcome = answer(command);
                if (outcome.reply)
                    (*outcome.reply)[0] ^= 0x0F;
                return outcome;
            }
        }
    }
    return answer(command);
}

SimulatedQel720::Outcome SimulatedQel720::answer(const Report& command)
{
    switch (command[1])
    {
        case 0x00: return reply(command, kAccepted);
        case 0x01:
        {
            auto out = reply(command, kVersion);
            for (int i = 0; i < 4; ++i)
                (*out.reply)[2 + i] = static_cast<std::uint8_t>(m_dateWord >> (24 - 8 * i));
            std::memcpy(out.reply->data() + 7, m_version, 4);
            return out;
        }
        case 0x08: m_lastPrepare = command; return reply(command, kAccepted);
        case 0x02:
            m_blockAddress = readLE32(command.data() + 2);
            m_blockLength = readLE32(command.data() + 7);
            m_block.clear();
            m_announcedLastChunk = -1;
            m_blockVerified = false;
            return reply(command, kAccepted);
        case 0x07: m_announcedLastChunk = command[2]; return reply(command, kAccepted);
        case 0x03:
        {
            const int count = m_announcedLastChunk >= 0 ? std::min(m_announcedLastChunk, 62) : 62;
            m_block.insert(m_block.end(), command.begin() + 2, command.begin() + 2 + count);
            m_announcedLastChunk = -1;
            return reply(command, kAccepted);
        }
        case 0x04:
        {
            std::uint32_t sum = 0;
            for (auto b : m_block)
                sum += b;
            if (m_block.size() != m_blockLength || sum != readLE32(command.data() + 2))
                return reply(command, kRejected, 2);
            auto& flash = m_flash[command[0]];
            if (flash.empty())
                flash.assign(kFlashSize, 0xFF);
            if (m_blockAddress + m_block.size() <= kFlashSize)
                std::copy(m_block.begin(), m_block.end(), flash.begin() + m_blockAddress);
            m_blockVerified = true;
            m_busyLeft = m_busyPolls;
            ++m_blocksWritten;
            return reply(command, kAccepted);
        }
        case 0x05:
            if (!m_blockVerified)
                return reply(command, kRejected, 3);
            if (m_busyLeft == 0)
                return reply(command, kDone);
            --m_busyLeft;
            return reply(command, kBusy);
        case 0x06: m_finished = true; return {};
        default: return reply(command, kRejected, 1);
    }
}

void SimulatedQel720::setVersion(std::uint32_t dateWord, const char* fourCharacters)
{
    setVersionBytes(dateWord, reinterpret_cast<const std::uint8_t*>(fourCharacters));
}

void SimulatedQel720::setVersionBytes(std::uint32_t dateWord, const std::uint8_t* fourBytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dateWord = dateWord;
    std::memcpy(m_version, fourBytes, 4);
}

std::vector<std::uint8_t> SimulatedQel720::flash(std::uint8_t targetId) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_flash.find(targetId);
    return it != m_flash.end() ? it->second : std::vector<std::uint8_t>(kFlashSize, 0xFF);
}
