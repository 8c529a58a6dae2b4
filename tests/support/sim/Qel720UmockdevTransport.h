#pragma once

// Puts a SimulatedQel720 behind an emulated hidraw node of the umockdev testbed: the node is
// created on construction, each output report the host writes goes to the simulation, and the
// simulation's reply is written back as an input report (or the device is removed when the
// simulation says so).
//
// Threading: the simulation runs on the testbed's responder thread. Ownership: the testbed and
// the simulation are not owned; both must outlive this object and the device it added.

#include "SimulatedQel720.h"

#include <UmockdevHidTestbed.h>

class Qel720UmockdevTransport
{
public:
    Qel720UmockdevTransport(testsupport::UmockdevHidTestbed& testbed, SimulatedQel720& device,
                            const testsupport::UmockdevHidTestbed::DeviceSpec& spec = {});

    // The testbed's id of the device; 0 when it could not be created.
    testsupport::UmockdevHidTestbed::DeviceId id() const { return m_id; }

private:
    testsupport::UmockdevHidTestbed::DeviceId m_id;
};
