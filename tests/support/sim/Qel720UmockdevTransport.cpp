#include "Qel720UmockdevTransport.h"

#include "Qel720Outcome.h"

Qel720UmockdevTransport::Qel720UmockdevTransport(testsupport::UmockdevHidTestbed& testbed, SimulatedQel720& device,
                                                 const testsupport::UmockdevHidTestbed::DeviceSpec& spec)
    : m_id(testbed.addDevice(spec))
{
    if (m_id != 0)
        testbed.setReportHandler(m_id, qel720ReportHandler(device));
}
