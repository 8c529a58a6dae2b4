#pragma once

// An in-process stand-in for the system's HID devices, for tests that need exact control over
// arrivals, removals, reports and failures without umockdev.
//
//   testsupport::FakeHidSource fake;
//   fake.install();                        // managers created from now on see only these devices
//   auto key = fake.addDevice (testsupport::FakeHidSource::qel720 (0x01100000));
//   fake.setReportHandler (key, [] (const uint8_t* r, size_t n) { ... return outcome; });
//   ... IOHIDManagerCreate / Open / Schedule, serve the run loop ...
//   fake.removeDevice (key);               // managers see a udev-like "remove"
//
// Threading: every method may be called from any thread. Arrivals, removals and input reports
// reach the manager created last (tests have one at a time), through its run loop. Report handlers
// run on the thread that calls IOHIDDeviceSetReport, inside it, without any lock of the fake held.
// Ownership: destroying the fake uninstalls it; managers made while it was installed keep
// working with the devices they already know.

#include "OutputReportOutcome.h"

#include "HidDeviceSource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testsupport
{

class FakeHidSource
{
public:
    FakeHidSource();
    ~FakeHidSource();
    FakeHidSource(const FakeHidSource&) = delete;
    FakeHidSource& operator=(const FakeHidSource&) = delete;

    // A QEL-720 (vendor 0x3A91, product 0x0A6D, usage page 0xFF00, usage 1) at the location.
    static platform::HidDeviceDescription qel720(uint32_t locationID, uint32_t versionNumber = 0x0100);

    void install();

    // Adds a present device under a key of its own, which it returns. Open managers see an arrival.
    std::string addDevice(platform::HidDeviceDescription device);
    // Open managers see a removal, then the device's node hangs up. Unknown keys are ignored.
    void removeDevice(const std::string& key);
    // Queues one input report on the device's node opened last.
    void injectInputReport(const std::string& key, const std::vector<uint8_t>& report);

    // Answers each output report of the device: queues the reply as an input report, then
    // removes the device when asked. Without a handler reports are taken and go unanswered.
    void setReportHandler(const std::string& key, OutputReportHandler handler);
    // Nodes of the device opened from now on have an event descriptor no run loop can watch.
    void setUnwatchable(const std::string& key);
    // Managers created from now on cannot start watching the system.
    void setStartFails(bool fails);

    struct Bus;

private:
    std::shared_ptr<Bus> m_bus;
    bool m_installed = false;
};

} // namespace testsupport
