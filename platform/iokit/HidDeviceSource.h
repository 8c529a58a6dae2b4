#pragma once

// The operating-system side of the HID manager: where devices, hot-plug events and report
// transfers come from. The Linux backend (HidDeviceSource_linux.cpp) uses libudev and hidraw;
// tests install an in-process fake with setHidDeviceSourceFactory.
//
// Threading: a manager calls its source's start, enumerate and readEvents on the manager's
// thread; open may also come from a thread that sends (a device opens on first need). A
// HidConnection's write and cancel may be called from any thread, concurrently with read on the
// thread the device is scheduled on.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform
{

struct HidDeviceDescription
{
    std::string key;      // unique while the device is present (the hidraw node's sysfs path)
    std::string nodePath; // for diagnostics, e.g. "/dev/hidraw3"
    uint32_t vendorID = 0;
    uint32_t productID = 0;
    uint32_t versionNumber = 0; // the USB device's bcdDevice
    uint32_t locationID = 0;
    uint32_t primaryUsagePage = 0;
    uint32_t primaryUsage = 0;
};

// Why a device node could not be opened.
struct HidOpenError
{
    std::string reason; // for people: the system's error text, or "in use by another program"
    bool inUse = false; // another open of the node holds it: some other program drives the device
};

// One open device node. Destroying the last reference closes it: a write in flight holds its
// own reference, so closing from another thread never pulls the node from under it.
class HidConnection
{
public:
    enum class ReadResult
    {
        report,
        nothingYet,
        gone
    };
    enum class WriteResult
    {
        written,
        failed,
        gone
    };

    virtual ~HidConnection() = default;
    // Readable when a report is waiting or the node has gone.
    virtual int eventFd() const = 0;
    // One whole input report into `report`, without waiting.
    virtual ReadResult read(std::vector<uint8_t>& report) = 0;
    // Writes the bytes as one report, synchronously; `gone` when the device has gone.
    virtual WriteResult write(const uint8_t* bytes, size_t length) = 0;
    // The device has gone: a write in flight stops waiting and fails, as do later ones.
    virtual void cancel() {}
};

class HidDeviceSource
{
public:
    struct Event
    {
        enum class Kind
        {
            added,
            removed
        } kind;
        HidDeviceDescription device; // for `removed` only the key is guaranteed
    };

    virtual ~HidDeviceSource() = default;
    // Starts watching for arrivals and removals; called before the first enumerate, so that
    // nothing plugged in between is lost. False when the system cannot be watched.
    virtual bool start() = 0;
    virtual std::vector<HidDeviceDescription> enumerate() = 0;
    // Readable when events are waiting; -1 before start.
    virtual int eventFd() const = 0;
    // The waiting events, without blocking.
    virtual std::vector<Event> readEvents() = 0;
    // Null on failure, with the reason in `error`.
    virtual std::shared_ptr<HidConnection> open(const HidDeviceDescription& device, HidOpenError& error) = 0;
};

using HidDeviceSourceFactory = std::function<std::unique_ptr<HidDeviceSource>()>;

// The system's source (libudev + hidraw on Linux).
std::unique_ptr<HidDeviceSource> createSystemHidDeviceSource();

// Replaces the source that managers created from now on use; an empty factory restores the
// system's. Call it while no manager is being created.
void setHidDeviceSourceFactory(HidDeviceSourceFactory factory);
std::unique_ptr<HidDeviceSource> createHidDeviceSource();

} // namespace platform
