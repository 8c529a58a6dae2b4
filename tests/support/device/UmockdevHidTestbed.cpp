#include "UmockdevHidTestbed.h"

#include <umockdev.h>

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
using Clock = std::chrono::steady_clock;

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFF);
    return text;
}

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
        std::vector<std::string> paths; // sysfs: hidraw, hid, interface, usb device (leaf first)
        int hostSide = -1;              // the pty master: what the program writes, and where input reports go
        int queueProbe = -1;            // our own, never-read handle on the pty slave, to see unread input
        std::thread responder;
        std::atomic<bool> stopResponder{ false }, removed{ false };
    };

    Device* find(DeviceId id)
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto found = devices.find(id);
        return found != devices.end() && !found->second->removed ? found->second.get() : nullptr;
    }
    void remove(Device& device);
    static bool readFrame(Device& device, std::vector<uint8_t>& bytes, int timeoutMs);
    static bool writeReport(Device& device, const std::vector<uint8_t>& report);

    UMockdevTestbed* testbed = umockdev_testbed_new();
    std::recursive_mutex umockdevMutex; // umockdev is not thread-safe; the responders use it too
    std::mutex mutex;
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

UmockdevHidTestbed::DeviceId UmockdevHidTestbed::addDevice(const DeviceSpec& spec)
{
    DeviceId id;
    {
        std::lock_guard<std::mutex> lock(m_impl->mutex);
        id = m_impl->nextId++;
    }
    std::string devpath;
    for (int port : spec.portPath)
        devpath += (devpath.empty() ? "" : ".") + std::to_string(port);
    const std::string name = std::to_string(spec.busNumber) + "-" + devpath,
                      hidraw = "hidraw" + std::to_string(99 + id);
    char hidName[32], hidId[32];
    std::snprintf(hidName, sizeof hidName, "0003:%04X:%04X.%04X", spec.vendorID, spec.productID, id);
    std::snprintf(hidId, sizeof hidId, "0003:%08X:%08X", spec.vendorID, spec.productID);
    // A vendor-defined application collection with one 64-byte input and one 64-byte output report.
    uint8_t descriptor[] = { 0x06,
                             (uint8_t)spec.usagePage,
                             (uint8_t)(spec.usagePage >> 8),
                             0x0A,
                             (uint8_t)spec.usage,
                             (uint8_t)(spec.usage >> 8),
                             0xA1,
                             0x01,
                             0x15,
                             0x00,
                             0x26,
                             0xFF,
                             0x00,
                             0x75,
                             0x08,
                             0x95,
                             reportSize,
                             0x09,
                             0x01,
                             0x81,
                             0x02,
                             0x95,
                             reportSize,
                             0x09,
                             0x01,
                             0x91,
                             0x02,
                             0xC0 };

    auto device = std::make_unique<Impl::Device>();
    std::lock_guard<std::recursive_mutex> umockdevLock(m_impl->umockdevMutex);
    UMockdevTestbed* tb = m_impl->testbed;
    const std::string usb = taken(umockdev_testbed_add_device(
        tb, "usb", name.c_str(), nullptr, "idVendor", hex4(spec.vendorID).c_str(), "idProduct",
        hex4(spec.productID).c_str(), "bcdDevice", hex4(spec.bcdDevice).c_str(), "busnum",
        std::to_string(spec.busNumber).c_str(), "devpath", devpath.c_str(), "devnum", std::to_string(id).c_str(),
        nullptr, "DEVTYPE", "usb_device", nullptr));
    const std::string interface =
        taken(umockdev_testbed_add_device(tb, "usb", (name + ":1.0").c_str(), usb.c_str(), "bInterfaceClass", "03",
                                          nullptr, "DEVTYPE", "usb_interface", nullptr));
    const std::string hid =
        taken(umockdev_testbed_add_device(tb, "hid", hidName, interface.c_str(), nullptr, "HID_ID", hidId, nullptr));
    umockdev_testbed_set_attribute_binary(tb, hid.c_str(), "report_descriptor", descriptor, sizeof descriptor);

    // Only a node described this way becomes a pty that the test can talk through.
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
    device->paths = { "/sys" + nodeDevpath, hid, interface, usb };
    umockdev_testbed_uevent(tb, device->paths[0].c_str(), "add");

    // A pty stands in for the node: make it pass bytes untouched (no echo, no line editing, no
    // newline translation), as a hidraw node does.
    termios raw{};
    tcgetattr(device->hostSide, &raw);
    cfmakeraw(&raw);
    tcsetattr(device->hostSide, TCSANOW, &raw);
    if (const char* slave = ptsname(device->hostSide))
        device->queueProbe = open(slave, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);

    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->devices[id] = std::move(device);
    return id;
}

// "remove" goes out while the sysfs entries still exist, leaf first, as the kernel does it; then
// the entries go one at a time (removing a parent leaves its children's /sys/bus links behind).
void UmockdevHidTestbed::Impl::remove(Device& device)
{
    std::lock_guard<std::recursive_mutex> umockdevLock(umockdevMutex);
    if (device.removed.exchange(true))
        return;
    for (auto& path : device.paths)
        umockdev_testbed_uevent(testbed, path.c_str(), "remove");
    close(device.queueProbe);
    for (auto& path : device.paths)
        umockdev_testbed_remove_device(testbed, path.c_str());
}

void UmockdevHidTestbed::removeDevice(DeviceId id)
{
    Impl::Device* device = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_impl->mutex);
        auto found = m_impl->devices.find(id);
        if (found == m_impl->devices.end())
            return;
        device = found->second.get();
    }
    device->stopResponder = true;
    if (device->responder.joinable() && device->responder.get_id() != std::this_thread::get_id())
        device->responder.join();
    m_impl->remove(*device);
}

// One host write: the report-ID byte and the output report, read whole from the pty.
bool UmockdevHidTestbed::Impl::readFrame(Device& device, std::vector<uint8_t>& bytes, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bytes.clear();
    while (bytes.size() < 1 + reportSize)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd ready{ device.hostSide, POLLIN, 0 };
        uint8_t buffer[1 + reportSize];
        ssize_t got = 0;
        if (poll(&ready, 1, left > 0 ? (int)left : 0) != 1 || (ready.revents & POLLIN) == 0 ||
            (got = read(device.hostSide, buffer, 1 + reportSize - bytes.size())) <= 0)
            return false;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return true;
}

bool UmockdevHidTestbed::readHostWrite(DeviceId id, std::vector<uint8_t>& bytes, int timeoutMs)
{
    auto* device = m_impl->find(id);
    return device != nullptr && Impl::readFrame(*device, bytes, timeoutMs);
}

bool UmockdevHidTestbed::Impl::writeReport(Device& device, const std::vector<uint8_t>& report)
{
    if (write(device.hostSide, report.data(), report.size()) != (ssize_t)report.size())
        return false;
    // A pty has no report boundaries: wait until the host has taken this one before the next.
    // Nothing signals that, so look often at first (a waiting host reads within microseconds).
    const auto start = Clock::now();
    for (int unread = 1; Clock::now() - start < std::chrono::seconds(1);)
    {
        if (ioctl(device.queueProbe, FIONREAD, &unread) != 0 || unread == 0)
            return true;
        if (Clock::now() - start < std::chrono::milliseconds(2))
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return false;
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
    device->stopResponder = true;
    if (device->responder.joinable())
        device->responder.join();
    device->stopResponder = false;
    device->responder = std::thread(
        [this, device, handler]
        {
            for (std::vector<uint8_t> frame; !device->stopResponder;)
            {
                if (!Impl::readFrame(*device, frame, 20))
                    continue;
                const OutputReportOutcome outcome = handler(frame.data() + 1, frame.size() - 1);
                if (outcome.reply)
                    Impl::writeReport(*device, std::vector<uint8_t>(outcome.reply->begin(), outcome.reply->end()));
                if (outcome.removeDevice)
                    return m_impl->remove(*device);
            }
        });
}

} // namespace testsupport
