#pragma once

// Emulated USB HID devices behind real hidraw nodes, with umockdev: each device is a usb_device
// (with its bus, port path and an address of its own), its interface, a hid device (with the
// report descriptor that gives its usage page and usage) and a hidraw node. The test program must
// run under `umockdev-wrapper` (see available()).
//
// Create the testbed before anything in the process creates a udev monitor, and keep it for the
// whole test: umockdev redirects /sys and /dev only for what exists when a monitor is made.
//
// Threading: add and remove devices on the test's thread. readHostWrite and writeInputReport may
// be called from any thread; a report handler runs on its own responder thread.

#include "OutputReportOutcome.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace testsupport
{

class UmockdevHidTestbed
{
public:
    struct DeviceSpec
    {
        uint16_t vendorID = 0x3A91;
        uint16_t productID = 0x0A6D;
        uint16_t bcdDevice = 0x0100;
        int busNumber = 1;
        std::vector<int> portPath{ 1 }; // ports from the root hub, e.g. {2, 3} for "1-2.3"
        uint16_t usagePage = 0xFF00;    // the report descriptor's; its reports are 64 bytes each way
        uint16_t usage = 0x0001;
    };
    using DeviceId = int;

    UmockdevHidTestbed();
    ~UmockdevHidTestbed();
    UmockdevHidTestbed(const UmockdevHidTestbed&) = delete;
    UmockdevHidTestbed& operator=(const UmockdevHidTestbed&) = delete;

    // True when running under umockdev-wrapper (otherwise the emulation cannot work).
    static bool available();

    // Creates the device and announces it with an "add" uevent. Returns its id (0 on failure),
    // which is also its address on its bus (devnum).
    DeviceId addDevice(const DeviceSpec& spec);
    // Announces "remove" (hidraw node first, then its parents) and deletes the device.
    void removeDevice(DeviceId id);

    // The next report the host wrote to the node, as written (report-ID byte first, then the
    // output report's bytes). False when none arrives within timeoutMs.
    bool readHostWrite(DeviceId id, std::vector<uint8_t>& bytes, int timeoutMs);
    // Queues one input report for the host and waits (up to 1 s) until the host has read it, so
    // that consecutive reports reach the host one per read.
    bool writeInputReport(DeviceId id, const std::vector<uint8_t>& report);

    // Starts answering every output report of the device on a responder thread; replaces any
    // earlier handler. The device's removal stops it.
    void setReportHandler(DeviceId id, OutputReportHandler handler);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace testsupport
