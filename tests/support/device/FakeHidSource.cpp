#include "FakeHidSource.h"

#include <atomic>
#include <map>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace testsupport
{

namespace
{
using Event = platform::HidDeviceSource::Event;
using platform::HidConnection;
using Writer = std::function<HidConnection::WriteResult(const uint8_t*, size_t)>;

// An open node, or a manager's inbox of hot-plug events: whole messages from any thread to a
// reader on a run loop. Readable while any wait, and for good once hung up.
class Node : public HidConnection
{
public:
    explicit Node(Writer writer = {}, bool unwatchable = false)
        : m_writer(std::move(writer)),
          m_unwatchable(unwatchable)
    {
        socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, m_fds);
    }
    ~Node() override
    {
        close(m_fds[0]);
        close(m_fds[1]);
    }
    int eventFd() const override { return m_unwatchable ? -1 : m_fds[0]; }
    ReadResult read(std::vector<uint8_t>& message) override
    {
        message.resize(4096);
        const ssize_t got = recv(m_fds[0], message.data(), message.size(), 0);
        message.resize(got > 0 ? (size_t)got : 0);
        return got > 0 ? ReadResult::report : got == 0 ? ReadResult::gone : ReadResult::nothingYet;
    }
    WriteResult write(const uint8_t* bytes, size_t length) override { return m_writer(bytes, length); }
    void send(const void* bytes, size_t size) { ::send(m_fds[1], bytes, size, MSG_NOSIGNAL); }
    void hangUp() { shutdown(m_fds[1], SHUT_WR); }

private:
    int m_fds[2] = { -1, -1 };
    const Writer m_writer;
    const bool m_unwatchable;
};
} // namespace

struct FakeHidSource::Bus
{
    struct Device
    {
        platform::HidDeviceDescription description;
        bool present = true, unwatchable = false;
        OutputReportHandler handler;
        std::shared_ptr<Node> node; // the one opened last
    };

    HidConnection::WriteResult write(const std::string& key, const uint8_t* bytes, size_t length);
    void deliver(const std::string& key, const std::vector<uint8_t>& report)
    {
        change(key,
               [&](Device& device)
               {
                   if (device.node != nullptr)
                       device.node->send(report.data(), report.size());
               });
    }
    // The manager's "remove" goes out first, as udev reports it before readers notice the node
    // has gone; either way the removal callback runs once.
    void remove(const std::string& key)
    {
        change(key,
               [&](Device& device)
               {
                   if (std::exchange(device.present, false))
                       post('-', key);
                   if (const auto node = std::exchange(device.node, nullptr)) // its readers keep it
                       node->hangUp();
               });
    }
    // "+" or "-" and the key, to the newest manager. Under the lock.
    void post(char kind, const std::string& key)
    {
        if (inbox != nullptr)
            inbox->send((kind + key).data(), key.size() + 1);
    }
    template <typename Change>
    void change(const std::string& key, Change change)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (auto found = devices.find(key); found != devices.end())
            change(found->second);
    }

    std::mutex mutex;
    std::map<std::string, Device> devices; // removed ones stay, no longer present
    std::shared_ptr<Node> inbox;
    std::atomic<bool> startFails{ false };
    int nextKey = 1;
};

namespace
{
// What one manager sees of the bus; the manager owns it.
class View : public platform::HidDeviceSource
{
public:
    explicit View(const std::shared_ptr<FakeHidSource::Bus>& bus) : m_bus(bus), m_inbox(bus->inbox) {}
    bool start() override { return !m_bus->startFails; }
    std::vector<platform::HidDeviceDescription> enumerate() override
    {
        std::lock_guard<std::mutex> lock(m_bus->mutex);
        std::vector<platform::HidDeviceDescription> devices;
        for (auto& entry : m_bus->devices)
            if (entry.second.present)
                devices.push_back(entry.second.description);
        return devices;
    }
    int eventFd() const override { return m_inbox->eventFd(); }
    std::vector<Event> readEvents() override
    {
        std::vector<Event> events;
        for (std::vector<uint8_t> message; m_inbox->read(message) == HidConnection::ReadResult::report;)
        {
            std::lock_guard<std::mutex> lock(m_bus->mutex);
            const auto& device = m_bus->devices.at(std::string(message.begin() + 1, message.end()));
            events.push_back({ message[0] == '+' ? Event::Kind::added : Event::Kind::removed, device.description });
        }
        return events;
    }
    std::shared_ptr<HidConnection> open(const platform::HidDeviceDescription& device,
                                        platform::HidOpenError& error) override
    {
        std::lock_guard<std::mutex> lock(m_bus->mutex);
        auto& known = m_bus->devices.at(device.key);
        if (!known.present)
        {
            error.reason = "No such device";
            return nullptr;
        }
        auto node = std::make_shared<Node>(
            [bus = std::weak_ptr(m_bus), key = device.key](const uint8_t* bytes, size_t length)
            {
                const auto present = bus.lock();
                return present != nullptr ? present->write(key, bytes, length) : HidConnection::WriteResult::gone;
            },
            known.unwatchable);
        return known.node = node;
    }

private:
    const std::shared_ptr<FakeHidSource::Bus> m_bus;
    const std::shared_ptr<Node> m_inbox;
};
} // namespace

// Writer's thread. The handler runs without the bus lock, so it may call back into the fake.
HidConnection::WriteResult FakeHidSource::Bus::write(const std::string& key, const uint8_t* bytes, size_t length)
{
    OutputReportHandler handler;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto& device = devices.at(key);
        if (!device.present)
            return HidConnection::WriteResult::gone;
        handler = device.handler;
    }
    if (!handler)
        return HidConnection::WriteResult::written;
    const OutputReportOutcome outcome = handler(bytes + 1, length - 1); // after the report-ID byte
    if (outcome.reply)
        deliver(key, std::vector<uint8_t>(outcome.reply->begin(), outcome.reply->end()));
    if (outcome.removeDevice)
        remove(key);
    return HidConnection::WriteResult::written;
}

FakeHidSource::FakeHidSource() : m_bus(std::make_shared<Bus>()) {}

FakeHidSource::~FakeHidSource()
{
    if (m_installed)
        platform::setHidDeviceSourceFactory(nullptr);
}

platform::HidDeviceDescription FakeHidSource::qel720(uint32_t locationID, uint32_t versionNumber)
{
    return { "", "", 0x3A91, 0x0A6D, versionNumber, locationID, 0xFF00, 0x0001 };
}

void FakeHidSource::install()
{
    platform::setHidDeviceSourceFactory(
        [weakBus = std::weak_ptr(m_bus)]() -> std::unique_ptr<platform::HidDeviceSource>
        {
            auto bus = weakBus.lock();
            if (bus == nullptr)
                return platform::createSystemHidDeviceSource();
            std::lock_guard<std::mutex> lock(bus->mutex);
            bus->inbox = std::make_shared<Node>();
            return std::make_unique<View>(bus);
        });
    m_installed = true;
}

std::string FakeHidSource::addDevice(platform::HidDeviceDescription device)
{
    std::lock_guard<std::mutex> lock(m_bus->mutex);
    device.key = "fake-hid-" + std::to_string(m_bus->nextKey++);
    device.nodePath = "/dev/" + device.key;
    m_bus->devices[device.key].description = device;
    m_bus->post('+', device.key);
    return device.key;
}

void FakeHidSource::removeDevice(const std::string& key) { m_bus->remove(key); }

void FakeHidSource::injectInputReport(const std::string& key, const std::vector<uint8_t>& report)
{
    m_bus->deliver(key, report);
}

void FakeHidSource::setReportHandler(const std::string& key, OutputReportHandler handler)
{
    m_bus->change(key, [&](Bus::Device& device) { device.handler = std::move(handler); });
}

void FakeHidSource::setUnwatchable(const std::string& key)
{
    m_bus->change(key, [](Bus::Device& device) { device.unwatchable = true; });
}

void FakeHidSource::setStartFails(bool fails) { m_bus->startFails = fails; }

} // namespace testsupport
