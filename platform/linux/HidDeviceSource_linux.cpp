#include "HidDeviceSource.h"

#include "HidrawConnection.h"
#include "LocationId.h"
#include "ReportDescriptor.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <libudev.h>
#include <optional>
#include <unistd.h>

namespace platform
{

namespace
{
uint32_t hexAttribute(udev_device* device, const char* name)
{
    const char* value = device != nullptr ? udev_device_get_sysattr_value(device, name) : nullptr;
    return value != nullptr ? (uint32_t)std::strtoul(value, nullptr, 16) : 0;
}

uint32_t locationOf(udev_device* usbDevice)
{
    const char* bus = udev_device_get_sysattr_value(usbDevice, "busnum");
    const char* number = udev_device_get_sysattr_value(usbDevice, "devnum");
    return locationIdOf(bus != nullptr ? (unsigned)std::strtoul(bus, nullptr, 10) : 0,
                        udev_device_get_sysattr_value(usbDevice, "devpath"),
                        number != nullptr ? (unsigned)std::strtoul(number, nullptr, 10) : 0);
}

// At most the kernel's largest report descriptor (HID_MAX_DESCRIPTOR_SIZE); empty when unreadable.
std::vector<uint8_t> readReportDescriptor(const std::string& path)
{
    std::vector<uint8_t> bytes(4096);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ssize_t got = -1;
    if (fd >= 0)
    {
        got = ::read(fd, bytes.data(), bytes.size());
        close(fd);
    }
    bytes.resize(got > 0 ? (size_t)got : 0);
    return bytes;
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
    const auto descriptor = readReportDescriptor(std::string(udev_device_get_syspath(hid)) + "/report_descriptor");
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
    // A failed start may be tried again: it keeps the udev handle and drops a half-made monitor.
    bool start() override
    {
        if (m_monitor != nullptr)
            return true;
        if (m_udev == nullptr)
            m_udev = udev_new();
        if (m_udev == nullptr)
            return false;
        m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
        if (m_monitor != nullptr &&
            udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) >= 0 &&
            udev_monitor_enable_receiving(m_monitor) >= 0)
            return true;
        if (m_monitor != nullptr)
            udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
        return false;
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

    std::shared_ptr<HidConnection> open(const HidDeviceDescription& device, HidOpenError& error) override
    {
        return HidrawConnection::open(device.nodePath, error);
    }

private:
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
};
} // namespace

std::unique_ptr<HidDeviceSource> createSystemHidDeviceSource() { return std::make_unique<UdevHidDeviceSource>(); }

} // namespace platform
