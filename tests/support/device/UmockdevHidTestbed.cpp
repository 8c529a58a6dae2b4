#include "UmockdevHidTestbed.h"

#include <umockdev.h>

#include <atomic>
#include <chrono>
#include <cstdio>
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
// Vendor-defined application collection with one 64-byte input and one 64-byte output report,
// no report IDs; the usage page and usage come from the DeviceSpec.
std::vector<uint8_t> reportDescriptorFor(const UmockdevHidTestbed::DeviceSpec& spec)
{
    return {
        0x06,
        (uint8_t)(spec.usagePage & 0xFF),
        (uint8_t)(spec.usagePage >> 8), // Usage Page
        0x0A,
        (uint8_t)(spec.usage & 0xFF),
        (uint8_t)(spec.usage >> 8), // Usage
        0xA1,
        0x01, // Collection (Application)
        0x15,
        0x00,
        0x26,
        0xFF,
        0x00,
        0x75,
        0x08, // 0..255, 8 bits
        0x95,
        (uint8_t)spec.inputReportSize,
        0x09,
        0x01,
        0x81,
        0x02, // Input
        0x95,
        (uint8_t)spec.outputReportSize,
        0x09,
        0x01,
        0x91,
        0x02, // Output
        0xC0  // End Collection
    };
}

std::string hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFF);
    return text;
}

std::string takeString(gchar* text)
{
    std::string result = text != nullptr ? text : "";
    g_free(text);
    return result;
}

using Clock = std::chrono::steady_clock;

int millisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? (int)left : 0;
}
} // namespace

struct UmockdevHidTestbed::Impl
{
    struct Device
    {
        DeviceSpec spec;
        std::string usbPath, interfacePath, hidPath, hidrawPath, node;
        int hostSide = -1;   // the pty master: what the program writes, and where input reports go
        int queueProbe = -1; // our own, never-read handle on the pty slave, to see unread input
        std::thread responder;
        std::atomic<bool> stopResponder{ false };
        std::atomic<bool> removed{ false };
    };

    Device* find(DeviceId id)
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto found = devices.find(id);
        return found != devices.end() && !found->second->removed ? found->second.get() : nullptr;
    }
    void removeLocked(Device& device);
    static bool readFrame(Device& device, std::vector<uint8_t>& bytes, int timeoutMs);
    static bool writeReport(Device& device, const std::vector<uint8_t>& report);
    void respond(Device& device, OutputReportHandler handler);

    UMockdevTestbed* testbed = nullptr;
    std::recursive_mutex umockdevMutex; // umockdev is not thread-safe; the responders use it too
    std::mutex mutex;
    std::map<DeviceId, std::unique_ptr<Device>> devices;
    DeviceId nextId = 1;
    int nextHidraw = 100;
};

UmockdevHidTestbed::UmockdevHidTestbed() : m_impl(std::make_unique<Impl>())
{
    m_impl->testbed = umockdev_testbed_new();
}

UmockdevHidTestbed::~UmockdevHidTestbed()
{
    std::vector<DeviceId> ids;
    {
        std::lock_guard<std::mutex> lock(m_impl->mutex);
        for (auto& entry : m_impl->devices)
            ids.push_back(entry.first);
    }
    for (auto id : ids)
        removeDevice(id);
    for (auto& entry : m_impl->devices)
        if (entry.second->responder.joinable())
            entry.second->responder.join();
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
    auto device = std::make_unique<Impl::Device>();
    device->spec = spec;
    std::string name = std::to_string(spec.busNumber) + "-";
    std::string devpath;
    for (size_t i = 0; i < spec.portPath.size(); ++i)
        devpath += (i > 0 ? "." : "") + std::to_string(spec.portPath[i]);
    name += devpath;

    std::lock_guard<std::recursive_mutex> umockdevLock(m_impl->umockdevMutex);
    const int hidrawNumber = m_impl->nextHidraw++;
    const std::string hidrawName = "hidraw" + std::to_string(hidrawNumber);
    const std::string vendor = hex4(spec.vendorID), product = hex4(spec.productID);
    UMockdevTestbed* tb = m_impl->testbed;

    device->usbPath = takeString(umockdev_testbed_add_device(
        tb, "usb", name.c_str(), nullptr, "idVendor", vendor.c_str(), "idProduct", product.c_str(), "bcdDevice",
        hex4(spec.bcdDevice).c_str(), "busnum", std::to_string(spec.busNumber).c_str(), "devpath", devpath.c_str(),
        nullptr, "DEVTYPE", "usb_device", nullptr));
    device->interfacePath =
        takeString(umockdev_testbed_add_device(tb, "usb", (name + ":1.0").c_str(), device->usbPath.c_str(),
                                               "bInterfaceClass", "03", nullptr, "DEVTYPE", "usb_interface", nullptr));
    char hidName[32];
    std::snprintf(hidName, sizeof hidName, "0003:%04X:%04X.%04X", spec.vendorID, spec.productID, hidrawNumber);
    char hidId[32];
    std::snprintf(hidId, sizeof hidId, "0003:%08X:%08X", spec.vendorID, spec.productID);
    device->hidPath = takeString(umockdev_testbed_add_device(tb, "hid", hidName, device->interfacePath.c_str(), nullptr,
                                                             "HID_ID", hidId, nullptr));
    auto descriptor = reportDescriptorFor(spec);
    umockdev_testbed_set_attribute_binary(tb, device->hidPath.c_str(), "report_descriptor", descriptor.data(),
                                          (gint)descriptor.size());

    // Only a node described this way becomes a pty that the test can talk through.
    device->node = "/dev/" + hidrawName;
    const std::string hidrawDevpath = device->hidPath.substr(std::strlen("/sys")) + "/hidraw/" + hidrawName;
    const std::string description = "P: " + hidrawDevpath + "\nN: " + hidrawName +
                                    "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=" + device->node +
                                    "\nA: dev=241:" + std::to_string(hidrawNumber) + "\n";
    GError* error = nullptr;
    const bool described = umockdev_testbed_add_from_string(tb, description.c_str(), &error) != 0;
    if (error != nullptr)
        g_error_free(error);
    device->hidrawPath = "/sys" + hidrawDevpath;
    device->hostSide = described ? umockdev_testbed_get_dev_fd(tb, device->node.c_str()) : -1;
    if (device->hostSide < 0)
    {
        umockdev_testbed_remove_device(tb, device->usbPath.c_str());
        return 0;
    }
    umockdev_testbed_uevent(tb, device->hidrawPath.c_str(), "add");

    // A pty stands in for the node: make it pass bytes untouched (no echo, no line editing,
    // no newline translation), as a hidraw node does.
    termios raw{};
    tcgetattr(device->hostSide, &raw);
    cfmakeraw(&raw);
    tcsetattr(device->hostSide, TCSANOW, &raw);
    if (const char* slave = ptsname(device->hostSide))
        device->queueProbe = open(slave, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);

    std::lock_guard<std::mutex> lock(m_impl->mutex);
    const DeviceId id = m_impl->nextId++;
    m_impl->devices[id] = std::move(device);
    return id;
}

void UmockdevHidTestbed::Impl::removeLocked(Device& device)
{
    std::lock_guard<std::recursive_mutex> umockdevLock(umockdevMutex);
    if (device.removed)
        return;
    device.removed = true;
    // "remove" goes out while the sysfs entries still exist, leaf first, as the kernel does it.
    for (const auto* path : { &device.hidrawPath, &device.hidPath, &device.interfacePath, &device.usbPath })
        umockdev_testbed_uevent(testbed, path->c_str(), "remove");
    if (device.queueProbe >= 0)
        close(device.queueProbe);
    device.queueProbe = -1;
    // One at a time: removing a parent leaves its children's /sys/bus links behind.
    for (const auto* path : { &device.hidrawPath, &device.hidPath, &device.interfacePath, &device.usbPath })
        umockdev_testbed_remove_device(testbed, path->c_str());
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
    m_impl->removeLocked(*device);
}

std::string UmockdevHidTestbed::nodePath(DeviceId id) const
{
    auto* device = m_impl->find(id);
    return device != nullptr ? device->node : std::string();
}

std::string UmockdevHidTestbed::sysPath(DeviceId id) const
{
    auto* device = m_impl->find(id);
    return device != nullptr ? device->hidrawPath : std::string();
}

// One host write: the report-ID byte and the output report, read whole from the pty.
bool UmockdevHidTestbed::Impl::readFrame(Device& device, std::vector<uint8_t>& bytes, int timeoutMs)
{
    const size_t frame = 1 + (size_t)device.spec.outputReportSize;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    bytes.clear();
    while (bytes.size() < frame)
    {
        pollfd ready{ device.hostSide, POLLIN, 0 };
        if (poll(&ready, 1, millisecondsUntil(deadline)) != 1 || (ready.revents & POLLIN) == 0)
            return false;
        uint8_t buffer[512];
        const ssize_t got = read(device.hostSide, buffer, frame - bytes.size());
        if (got <= 0)
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
    size_t done = 0;
    while (done < report.size())
    {
        const ssize_t written = write(device.hostSide, report.data() + done, report.size() - done);
        if (written <= 0)
            return false;
        done += (size_t)written;
    }
    // A pty has no report boundaries: wait until the host has taken this one before the next.
    // Nothing signals that, so look often at first (a waiting host reads within microseconds).
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::seconds(1);
    for (;;)
    {
        int unread = 0;
        if (device.queueProbe < 0 || ioctl(device.queueProbe, FIONREAD, &unread) != 0 || unread == 0)
            return true;
        if (Clock::now() >= deadline)
            return false;
        if (Clock::now() - start < std::chrono::milliseconds(2))
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

bool UmockdevHidTestbed::writeInputReport(DeviceId id, const std::vector<uint8_t>& report)
{
    auto* device = m_impl->find(id);
    return device != nullptr && Impl::writeReport(*device, report);
}

void UmockdevHidTestbed::Impl::respond(Device& device, OutputReportHandler handler)
{
    while (!device.stopResponder)
    {
        std::vector<uint8_t> frame;
        if (!readFrame(device, frame, 20))
            continue;
        const OutputReportOutcome outcome = handler(frame.data() + 1, frame.size() - 1);
        if (outcome.reply)
            writeReport(device, std::vector<uint8_t>(outcome.reply->begin(), outcome.reply->end()));
        if (outcome.removeDevice)
        {
            removeLocked(device);
            return;
        }
    }
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
    device->responder = std::thread([this, device, handler] { m_impl->respond(*device, handler); });
}

} // namespace testsupport
