#include "HidDeviceSource.h"

#include "ReportDescriptor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <libudev.h>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace platform
{

namespace
{
// One open hidraw node. Reads happen on the run-loop thread, writes on any thread.
class HidrawConnection : public HidConnection
{
public:
    explicit HidrawConnection(int fd) : m_fd(fd), m_cancelFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~HidrawConnection() override
    {
        close(m_fd);
        close(m_cancelFd);
    }

    int eventFd() const override { return m_fd; }

    ReadResult read(std::vector<uint8_t>& report) override
    {
        uint8_t buffer[16384]; // the largest report the kernel passes on
        for (;;)
        {
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got > 0)
            {
                report.assign(buffer, buffer + got);
                return ReadResult::report;
            }
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0 && errno == EAGAIN)
                return ReadResult::nothingYet;
            return ReadResult::gone; // ENODEV, EIO, or end of file
        }
    }

    // A hidraw write returns once the transfer is done. The node is non-blocking for reads, so a
    // full queue (possible only with emulated nodes) is waited out for up to a second.
    WriteResult write(const uint8_t* bytes, size_t length) override
    {
        size_t done = 0;
        while (done < length)
        {
            const ssize_t written = ::write(m_fd, bytes + done, length - done);
            if (written > 0)
            {
                done += (size_t)written;
                continue;
            }
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0 && errno == EAGAIN && waitUntilWritable())
                continue;
            if (cancelled() || (written < 0 && (errno == ENODEV || errno == ENXIO || errno == ESHUTDOWN)))
                return WriteResult::gone;
            return WriteResult::failed;
        }
        return WriteResult::written;
    }

    void cancel() override
    {
        const uint64_t one = 1;
        [[maybe_unused]] auto done = ::write(m_cancelFd, &one, sizeof one);
    }

private:
    bool cancelled() const
    {
        pollfd check{ m_cancelFd, POLLIN, 0 };
        return poll(&check, 1, 0) == 1;
    }

    bool waitUntilWritable() const
    {
        pollfd ready[] = { { m_fd, POLLOUT, 0 }, { m_cancelFd, POLLIN, 0 } };
        return poll(ready, 2, 1000) > 0 && ready[1].revents == 0 && (ready[0].revents & POLLOUT) != 0;
    }

    const int m_fd;
    const int m_cancelFd;
};

uint32_t hexAttribute(udev_device* device, const char* name)
{
    const char* value = device != nullptr ? udev_device_get_sysattr_value(device, name) : nullptr;
    return value != nullptr ? (uint32_t)std::strtoul(value, nullptr, 16) : 0;
}

// Bus number in the top byte, then one nibble per port from the root ("2.3" on bus 1 gives
// 0x01230000); deeper ports than six levels do not fit and are left out.
uint32_t locationOf(udev_device* usbDevice)
{
    const char* bus = udev_device_get_sysattr_value(usbDevice, "busnum");
    const char* devpath = udev_device_get_sysattr_value(usbDevice, "devpath");
    uint32_t location = bus != nullptr ? (uint32_t)(std::strtoul(bus, nullptr, 10) & 0xFF) << 24 : 0;
    int shift = 20;
    for (const char* p = devpath; p != nullptr && *p != '\0' && shift >= 0; shift -= 4)
    {
        char* end = nullptr;
        const unsigned long port = std::strtoul(p, &end, 10);
        if (end == p)
            break;
        location |= (uint32_t)(port & 0xF) << shift;
        p = *end == '.' ? end + 1 : end;
    }
    return location;
}

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::optional<HidDeviceDescription> describe(udev_device* hidraw)
{
    const char* syspath = udev_device_get_syspath(hidraw);
    const char* node = udev_device_get_devnode(hidraw);
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
    if (syspath == nullptr || node == nullptr || hid == nullptr)
        return std::nullopt;

    HidDeviceDescription description;
    description.key = syspath;
    description.nodePath = node;
    // HID_ID is "bus:vendor:product" in hex; it also covers devices that are not on USB.
    if (const char* id = udev_device_get_property_value(hid, "HID_ID"))
    {
        unsigned bus = 0, vendor = 0, product = 0;
        if (std::sscanf(id, "%x:%x:%x", &bus, &vendor, &product) == 3)
        {
            description.vendorID = vendor;
            description.productID = product;
        }
    }
    if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device"))
    {
        description.vendorID = hexAttribute(usb, "idVendor");
        description.productID = hexAttribute(usb, "idProduct");
        description.versionNumber = hexAttribute(usb, "bcdDevice");
        description.locationID = locationOf(usb);
    }
    const auto descriptor = readFile(std::string(udev_device_get_syspath(hid)) + "/report_descriptor");
    readPrimaryUsage(descriptor.data(), descriptor.size(), description.primaryUsagePage, description.primaryUsage);
    return description;
}

class UdevHidDeviceSource : public HidDeviceSource
{
public:
    ~UdevHidDeviceSource() override
    {
        if (m_monitor != nullptr)
            udev_monitor_unref(m_monitor);
        if (m_udev != nullptr)
            udev_unref(m_udev);
    }

    // The "udev" monitor (not "kernel") reports a node only after udev's rules have run, so
    // its permissions are in place when we open it.
    bool start() override
    {
        if (m_monitor != nullptr)
            return true;
        m_udev = udev_new();
        if (m_udev == nullptr)
            return false;
        m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
        if (m_monitor == nullptr || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) < 0 ||
            udev_monitor_enable_receiving(m_monitor) < 0)
            return false;
        return true;
    }

    std::vector<HidDeviceDescription> enumerate() override
    {
        std::vector<HidDeviceDescription> devices;
        udev_enumerate* enumerate = udev_enumerate_new(m_udev);
        if (enumerate == nullptr)
            return devices;
        udev_enumerate_add_match_subsystem(enumerate, "hidraw");
        udev_enumerate_scan_devices(enumerate);
        udev_list_entry* entry;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
        {
            if (udev_device* hidraw = udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(entry)))
            {
                if (auto description = describe(hidraw))
                    devices.push_back(*description);
                udev_device_unref(hidraw);
            }
        }
        udev_enumerate_unref(enumerate);
        return devices;
    }

    int eventFd() const override { return m_monitor != nullptr ? udev_monitor_get_fd(m_monitor) : -1; }

    std::vector<Event> readEvents() override
    {
        std::vector<Event> events;
        while (udev_device* device = udev_monitor_receive_device(m_monitor))
        {
            const char* action = udev_device_get_action(device);
            const std::string what = action != nullptr ? action : "";
            if (what == "add")
            {
                if (auto description = describe(device))
                    events.push_back(Event{ Event::Kind::added, *description });
            }
            else if (what == "remove")
            {
                Event removed{ Event::Kind::removed, {} };
                removed.device.key = udev_device_get_syspath(device);
                events.push_back(removed);
            }
            udev_device_unref(device);
        }
        return events;
    }

    std::shared_ptr<HidConnection> open(const HidDeviceDescription& device, std::string& error) override
    {
        const int fd = ::open(device.nodePath.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0)
        {
            char text[128];
            error = strerror_r(errno, text, sizeof text); // may run on a sending thread
            return nullptr;
        }
        return std::make_shared<HidrawConnection>(fd);
    }

private:
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
};
} // namespace

std::unique_ptr<HidDeviceSource> createSystemHidDeviceSource() { return std::make_unique<UdevHidDeviceSource>(); }

} // namespace platform
