#include "Qel720FakeTransport.h"

#include "Qel720Outcome.h"

Qel720FakeTransport::Qel720FakeTransport(testsupport::FakeHidSource& source, SimulatedQel720& device,
                                         uint32_t locationID, uint32_t versionNumber)
    : m_key(source.addDevice(testsupport::FakeHidSource::qel720(locationID, versionNumber)))
{
    source.setReportHandler(m_key, qel720ReportHandler(device));
}
