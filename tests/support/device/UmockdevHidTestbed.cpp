#include "UmockdevHidTestbed.h"

#include <umockdev.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace testsupport
{

namespace
{
constexpr size_t reportSize = 64;
// The report-ID byte of the testbed's own marker; the host writes 0, the device having no report IDs.
constexpr uint8_t markerId = 0xFF;
using Clock = std::chrono::steady_clock;

// A vendor-defined application collection with one 64-byte input and one 64-byte output report
// (not const: umockdev takes a non-const buffer).
uint8_t kReportDescriptor[] = { 0x06, 0x00, 0xFF, 0x0A, 0x01, 0x00, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75,
                                0x08, 0x95, 0x40, 0x09, 0x01, 0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0 };

std::string taken(gchar* text)
{
    std::string result = text != nullptr ? text : "";
    g_free(text);
    return result;
}
} // namespace

struct UmockdevHidTestbed::Impl
{
    struct Device
    {
        std::vector<std::string> paths; // sysfs: hidraw, hid, usb device (leaf first)
        std::string node;               // in /dev, as the program finds it
        int hostSide = -1;              // the pty master: what the program writes, and where input reports go
        int queueProbe = -1;            // our own, never-read handle on the pty slave, to see unread input
        std::thread responder;
        std::atomic<bool> stopResponder{ false }, removed{ false };
        std::atomic<int> markers{ 0 }; // markers the responder has taken
    };

    Device* find(DeviceId id)
    {
        std::lock_guard<std::recursive_mutex> lock(mutex);
        auto found = devices.find(id);
        return found != devices.end() && !found->second->removed ? found->second.get() : nullptr;
    }
    void remove(Device& device);
    static void stopAnswering(Device& device)
    {
        device.stopResponder = true;
        if (device.responder.joinable() && device.responder.get_id() != std::this_thread::get_id())
            device.responder.join();
    }
    static bool writeReport(Device& device, const std::vector<uint8_t>& report);

    UMockdevTestbed* testbed = umockdev_testbed_new();
    std::recursive_mutex mutex; // for umockdev too, which is not thread-safe; the responders use it
    std::map<DeviceId, std::unique_ptr<Device>> devices;
    DeviceId nextId = 1;
};

UmockdevHidTestbed::UmockdevHidTestbed() : m_impl(std::make_unique<Impl>()) {}

UmockdevHidTestbed::~UmockdevHidTestbed()
{
    for (auto& entry : m_impl->devices)
        removeDevice(entry.first);
    g_object_unref(m_impl->testbed);
}

bool UmockdevHidTestbed::available()
{
    // umockdev_in_mock_environment() does not see umockdev-wrapper's preload in this version.
    const char* preload = std::getenv("LD_PRELOAD");
    return preload != nullptr && std::strstr(preload, "libumockdev-preload") != nullptr;
}

UmockdevHidTestbed::DeviceId UmockdevHidTestbed::addDevice(const DeviceSpec&)
{
    std::lock_guard<std::recursive_mutex> lock(m_impl->mutex);
    const DeviceId id = m_impl->nextId++;
    const std::string port = std::to_string(id), name = "1-" + port, hidraw = "hidraw" + std::to_string(99 + id);
    char hidName[32];
    std::snprintf(hidName, sizeof hidName, "0003:3A91:0A6D.%04X", id);
    UMockdevTestbed* tb = m_impl->testbed;
    const std::string usb = taken(umockdev_testbed_add_device(
        tb, "usb", name.c_str(), nullptr, "idVendor", "3a91", "idProduct", "0a6d", "bcdDevice", "0100", "busnum", "1",
        "devpath", port.c_str(), "devnum", port.c_str(), nullptr, "DEVTYPE", "usb_device", nullptr));
    const std::string hid = taken(umockdev_testbed_add_device(tb, "hid", hidName, usb.c_str(), nullptr, "HID_ID",
                                                              "0003:00003A91:00000A6D", nullptr));
    umockdev_testbed_set_attribute_binary(tb, hid.c_str(), "report_descriptor", kReportDescriptor,
                                          sizeof kReportDescriptor);

    // Only a node described this way becomes a pty that the test can talk through.
    auto device = std::make_unique<Impl::Device>();
    const std::string node = "/dev/" + hidraw, nodeDevpath = hid.substr(std::strlen("/sys")) + "/hidraw/" + hidraw;
    const std::string description = "P: " + nodeDevpath + "\nN: " + hidraw +
                                    "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=" + node +
                                    "\nA: dev=241:" + std::to_string(99 + id) + "\n";
    GError* error = nullptr;
    if (umockdev_testbed_add_from_string(tb, description.c_str(), &error))
        device->hostSide = umockdev_testbed_get_dev_fd(tb, node.c_str());
    if (error != nullptr)
        g_error_free(error);
    if (device->hostSide < 0)
    {
        umockdev_testbed_remove_device(tb, usb.c_str());
        return 0;
    }
    device->paths = { "/sys" + nodeDevpath, hid, usb };
    device->node = node;
    umockdev_testbed_uevent(tb, device->paths[0].c_str(), "add");

    // A pty stands in for the node: make it pass bytes untouched (no echo, no line editing, no
    // newline translation), as a hidraw node does.
    termios raw{};
    tcgetattr(device->hostSide, &raw);
    cfmakeraw(&raw);
    tcsetattr(device->hostSide, TCSANOW, &raw);
    if (const char* slave = ptsname(device->hostSide))
        device->queueProbe = open(slave, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    m_impl->devices[id] = std::move(device);
    return id;
}

// "remove" goes out while the sysfs entries still exist, leaf first, as the kernel does it; then
// the entries go one at a time (removing a parent leaves its children's /sys/bus links behind).
void UmockdevHidTestbed::Impl::remove(Device& device)
{
    std::lock_guard<std::recursive_mutex> lock(mutex);
    if (device.removed.exchange(true))
        return;
    for (auto& path : device.paths)
        umockdev_testbed_uevent(testbed, path.c_str(), "remove");
    close(device.queueProbe);
    for (auto& path : device.paths)
        umockdev_testbed_remove_device(testbed, path.c_str());
}

std::string UmockdevHidTestbed::nodePath(DeviceId id) const
{
    std::lock_guard<std::recursive_mutex> lock(m_impl->mutex);
    const auto found = m_impl->devices.find(id);
    return found != m_impl->devices.end() ? found->second->node : std::string();
}

void UmockdevHidTestbed::removeDevice(DeviceId id)
{
    Impl::Device* device = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(m_impl->mutex);
        auto found = m_impl->devices.find(id);
        if (found == m_impl->devices.end())
            return;
        device = found->second.get();
    }
    Impl::stopAnswering(*device);
    m_impl->remove(*device);
}

bool UmockdevHidTestbed::Impl::writeReport(Device& device, const std::vector<uint8_t>& report)
{
    if (write(device.hostSide, report.data(), report.size()) != (ssize_t)report.size())
        return false;
    // A pty has no report boundaries: wait until the host has taken this one before the next.
    // Nothing signals that, so look often at first (a waiting host reads within microseconds).
    const auto start = Clock::now();
    for (int unread = 1; ioctl(device.queueProbe, FIONREAD, &unread) == 0 && unread > 0;)
    {
        const auto waited = Clock::now() - start;
        if (waited > std::chrono::seconds(1))
            return false;
        waited < std::chrono::milliseconds(2) ? std::this_thread::yield()
                                              : std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

bool UmockdevHidTestbed::writeInputReport(DeviceId id, const std::vector<uint8_t>& report)
{
    auto* device = m_impl->find(id);
    return device != nullptr && Impl::writeReport(*device, report);
}

void UmockdevHidTestbed::setReportHandler(DeviceId id, OutputReportHandler handler)
{
    auto* device = m_impl->find(id);
    if (device == nullptr)
        return;
    Impl::stopAnswering(*device);
    device->stopResponder = false;
    // Each host write is the report-ID byte and the output report; the pty may hand it over in pieces.
    device->responder = std::thread(
        [this, device, handler]
        {
            for (std::vector<uint8_t> frame; !device->stopResponder;)
            {
                pollfd ready{ device->hostSide, POLLIN, 0 };
                uint8_t buffer[1 + reportSize];
                const ssize_t got = poll(&ready, 1, 20) == 1 && (ready.revents & POLLIN) != 0
                                        ? read(device->hostSide, buffer, sizeof buffer - frame.size())
                                        : 0;
                frame.insert(frame.end(), buffer, buffer + std::max<ssize_t>(got, 0));
                if (frame.size() < sizeof buffer)
                    continue;
                if (frame[0] == markerId)
                {
                    ++device->markers;
                    frame.clear();
                    continue;
                }
                const OutputReportOutcome outcome = handler(frame.data() + 1, reportSize);
                frame.clear();
                if (outcome.reply)
                    Impl::writeReport(*device, std::vector<uint8_t>(outcome.reply->begin(), outcome.reply->end()));
                if (outcome.removeDevice)
                    return m_impl->remove(*device);
            }
        });
}

// The marker goes in on the node's own side (our handle on the pty slave), behind what the host wrote.
bool UmockdevHidTestbed::waitForSentReports(DeviceId id)
{
    auto* device = m_impl->find(id);
    if (device == nullptr || !device->responder.joinable())
        return false;
    const int before = device->markers;
    uint8_t marker[1 + reportSize] = { markerId };
    if (write(device->queueProbe, marker, sizeof marker) != (ssize_t)sizeof marker)
        return false;
    for (const auto deadline = Clock::now() + std::chrono::seconds(5); device->markers == before;)
    {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace testsupport
