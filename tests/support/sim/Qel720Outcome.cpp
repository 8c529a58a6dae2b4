#include "Qel720Outcome.h"

testsupport::OutputReportHandler qel720ReportHandler(SimulatedQel720& device)
{
    return [&device](const uint8_t* report, std::size_t length)
    {
        const SimulatedQel720::Outcome outcome = device.handleOutputReport(report, length);
        testsupport::OutputReportOutcome result;
        result.reply = outcome.reply;
        result.removeDevice = outcome.removeDevice;
        return result;
    };
}
