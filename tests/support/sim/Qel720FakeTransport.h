#pragma once

// Puts a SimulatedQel720 behind a device of the in-process fake source: the device is added on
// construction, each output report written to it goes to the simulation, and the simulation's
// reply comes back as an input report (or the device disappears when the simulation says so).
//
// Threading: the simulation runs on the thread that sends the report, inside its
// IOHIDDeviceSetReport. Ownership: the fake source and the simulation are not owned; both must
// outlive this object and the device it added.

#include "SimulatedQel720.h"

#include <FakeHidSource.h>

#include <cstdint>
#include <string>

class Qel720FakeTransport
{
public:
    Qel720FakeTransport(testsupport::FakeHidSource& source, SimulatedQel720& device, uint32_t locationID = 0x01100000,
                        uint32_t versionNumber = 0x0100);

    // The fake source's key of the device.
    const std::string& key() const { return m_key; }

private:
    std::string m_key;
};
