#pragma once

// Emulated QEL-720s behind real hidraw nodes, with umockdev: each device is a usb_device (vendor
// 0x3A91, product 0x0A6D, bcdDevice 0x0100) on bus 1, on a root port and with an address both equal
// to its id; a hid device under it, whose report descriptor gives usage page 0xFF00, usage 1 and
// 64-byte reports each way; and a hidraw node. The test program must run under `umockdev-wrapper`
// (see available()).
//
// Create the testbed before anything in the process creates a udev monitor, and keep it for the
// whole test: umockdev redirects /sys and /dev only for what exists when a monitor is made.
//
// Threading: add and remove devices on the test's thread. writeInputReport may be called from any
// thread; a report handler runs on its own responder thread.

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
    // Every device is alike; callers pass an empty spec.
    struct DeviceSpec
    {
    };
    using DeviceId = int;

    UmockdevHidTestbed();
    ~UmockdevHidTestbed();
    UmockdevHidTestbed(const UmockdevHidTestbed&) = delete;
    UmockdevHidTestbed& operator=(const UmockdevHidTestbed&) = delete;

    // True when running under umockdev-wrapper (otherwise the emulation cannot work).
    static bool available();

    // Creates the device and announces it with an "add" uevent. Returns its id (0 on failure).
    DeviceId addDevice(const DeviceSpec& spec);
    // The device's hidraw node, as the program finds it ("/dev/hidraw100"); empty for an unknown id.
    std::string nodePath(DeviceId id) const;
    // Announces "remove" (hidraw node first, then its parents) and deletes the device.
    void removeDevice(DeviceId id);

    // Queues one input report for the host and waits (up to 1 s) until the host has read it, so
    // that consecutive reports reach the host one per read.
    bool writeInputReport(DeviceId id, const std::vector<uint8_t>& report);

    // Starts answering every output report of the device (the bytes after the report-ID byte) on a
    // responder thread; replaces any earlier handler. The device's removal stops it.
    void setReportHandler(DeviceId id, OutputReportHandler handler);

    // Waits (up to 5 s) until the handler has taken every output report the host wrote to the
    // device before the call: the reports reach the responder in order, and a marker written behind
    // them, which the handler never sees, comes last. False on time-out, or without a handler.
    bool waitForSentReports(DeviceId id);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

} // namespace testsupport
