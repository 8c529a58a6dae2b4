#include "Qel720FakeTransport.h"
#include "Qel720UmockdevTransport.h"

std::string SimulatedQel720::attach(testsupport::FakeHidSource& source, std::uint32_t locationID)
{
    return Qel720FakeTransport(source, *this, locationID).key();
}

int SimulatedQel720::attach(testsupport::UmockdevHidTestbed& testbed)
{
    return Qel720UmockdevTransport(testbed, *this).id();
}
