#pragma once

// The bridge shared by both transports: an emulated device's output-report handler that asks the
// simulated QEL-720 what to do.

#include "SimulatedQel720.h"

#include <OutputReportOutcome.h>

// The handler keeps a reference to `device`, which must outlive it.
testsupport::OutputReportHandler qel720ReportHandler(SimulatedQel720& device);
