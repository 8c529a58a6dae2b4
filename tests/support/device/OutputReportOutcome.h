#pragma once

// What an emulated device does with one output report from the host: answer with one 64-byte
// input report, and/or disappear afterwards (reply first, then removal).

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace testsupport
{

struct OutputReportOutcome
{
    std::optional<std::array<uint8_t, 64>> reply;
    bool removeDevice = false;
};

// Receives the report's data without the leading report-ID byte (64 bytes for this device).
using OutputReportHandler = std::function<OutputReportOutcome(const uint8_t* report, std::size_t length)>;

} // namespace testsupport
