#include "FakeHidSource.h"

#include <deque>
#include <map>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>

namespace testsupport
{

namespace
{
using Event = platform::HidDeviceSource::Event;

// Items waiting for a reader on a run loop: the descriptor is readable while any wait (and, once
// closed, for good). Any thread.
template <typename Item>
class Queue
{
public:
    ~Queue() { ::close(m_fd); }
    int fd() const { return m_fd; }
    void push(Item item)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closed)
            return;
        m_items.push_back(std::move(item));
        signal();
    }
    bool pop(Item& item)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_items.empty())
            return false;
        item = std::move(m_items.front());
        m_items.pop_front();
        uint64_t one;
        [[maybe_unused]] auto done = read(m_fd, &one, sizeof one);
        return true;
    }
    void close()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_closed)
            signal();
        m_closed = true;
    }
    bool closed()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_closed;
    }

private:
    void signal()
    {
        const uint64_t one = 1;
        [[maybe_unused]] auto done = write(m_fd, &one, sizeof one);
    }

    const int m_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK | EFD_SEMAPHORE);
    std::mutex m_mutex;
    std::deque<Item> m_items;
    bool m_closed = false;
};

using Inbox = Queue<Event>; // one manager's hot-plug events
class FakeConnection;
} // namespace

struct FakeHidSource::Bus : std::enable_shared_from_this<FakeHidSource::Bus>
{
    struct Device
    {
        platform::HidDeviceDescription description;
        bool unwatchable = false;
        std::string openError;
        OutputReportHandler handler;
        std::vector<std::weak_ptr<FakeConnection>> connections;
    };

    platform::HidConnection::WriteResult write(const std::string& key, const uint8_t* bytes, size_t length);
    std::vector<std::shared_ptr<FakeConnection>> connectionsOf(const std::string& key);
    void post(const Event& event);
    void remove(const std::string& key);
    template <typename Change>
    void change(const std::string& key, Change change)
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto found = devices.find(key);
        if (found != devices.end())
            change(found->second);
    }

    mutable std::mutex mutex;
    std::map<std::string, Device> devices;
    std::map<std::string, std::vector<std::vector<uint8_t>>> written; // kept after removal
    std::shared_ptr<Inbox> inbox;                                     // the newest manager's

    bool startFails = false;
    int nextKey = 1;
};

namespace
{
// One open node: its input reports, then its hang-up.
class FakeConnection : public platform::HidConnection
{
public:
    FakeConnection(std::weak_ptr<FakeHidSource::Bus> bus, std::string key, bool unwatchable)
        : m_bus(std::move(bus)),
          m_key(std::move(key)),
          m_unwatchable(unwatchable)
    {
    }
    int eventFd() const override { return m_unwatchable ? -1 : reports.fd(); }
    ReadResult read(std::vector<uint8_t>& report) override
    {
        return reports.pop(report) ? ReadResult::report : reports.closed() ? ReadResult::gone : ReadResult::nothingYet;
    }
    WriteResult write(const uint8_t* bytes, size_t length) override
    {
        auto bus = m_bus.lock();
        return bus == nullptr || reports.closed() ? WriteResult::gone : bus->write(m_key, bytes, length);
    }

    Queue<std::vector<uint8_t>> reports;

private:
    const std::weak_ptr<FakeHidSource::Bus> m_bus;
    const std::string m_key;
    const bool m_unwatchable;
};

// What one manager sees of the bus; the manager owns it.
class FakeView : public platform::HidDeviceSource
{
public:
    FakeView(std::shared_ptr<FakeHidSource::Bus> bus, std::shared_ptr<Inbox> inbox)
        : m_bus(std::move(bus)),
          m_inbox(std::move(inbox))
    {
    }
    bool start() override
    {
        std::lock_guard<std::mutex> lock(m_bus->mutex);
        return !m_bus->startFails;
    }
    std::vector<platform::HidDeviceDescription> enumerate() override
    {
        std::lock_guard<std::mutex> lock(m_bus->mutex);
        std::vector<platform::HidDeviceDescription> devices;
        for (auto& entry : m_bus->devices)
            devices.push_back(entry.second.description);
        return devices;
    }
    int eventFd() const override { return m_inbox->fd(); }
    std::vector<Event> readEvents() override
    {
        std::vector<Event> events;
        for (Event event; m_inbox->pop(event);)
            events.push_back(event);
        return events;
    }
    std::shared_ptr<platform::HidConnection> open(const platform::HidDeviceDescription& device,
                                                  std::string& error) override
    {
        std::lock_guard<std::mutex> lock(m_bus->mutex);
        auto found = m_bus->devices.find(device.key);
        error = found == m_bus->devices.end() ? "No such device" : found->second.openError;
        if (!error.empty())
            return nullptr;
        auto connection = std::make_shared<FakeConnection>(m_bus, device.key, found->second.unwatchable);
        found->second.connections.push_back(connection);
        return connection;
    }

private:
    const std::shared_ptr<FakeHidSource::Bus> m_bus;
    const std::shared_ptr<Inbox> m_inbox;
};
} // namespace

std::vector<std::shared_ptr<FakeConnection>> FakeHidSource::Bus::connectionsOf(const std::string& key)
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::shared_ptr<FakeConnection>> open;
    auto found = devices.find(key);
    for (size_t i = 0; found != devices.end() && i < found->second.connections.size(); ++i)
        if (auto connection = found->second.connections[i].lock())
            open.push_back(connection);
    return open;
}

// Writer's thread. The handler runs without the bus lock, so it may call back into the fake.
platform::HidConnection::WriteResult FakeHidSource::Bus::write(const std::string& key, const uint8_t* bytes,
                                                               size_t length)
{
    OutputReportHandler handler;
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto found = devices.find(key);
        if (found == devices.end())
            return platform::HidConnection::WriteResult::gone;
        written[key].emplace_back(bytes, bytes + length);
        handler = found->second.handler;
    }
    if (!handler)
        return platform::HidConnection::WriteResult::written;
    const OutputReportOutcome outcome = handler(bytes + 1, length - 1); // after the report-ID byte
    for (auto& connection : connectionsOf(key))
        if (outcome.reply)
            connection->reports.push(std::vector<uint8_t>(outcome.reply->begin(), outcome.reply->end()));
    if (outcome.removeDevice)
        remove(key);
    return platform::HidConnection::WriteResult::written;
}

void FakeHidSource::Bus::post(const Event& event)
{
    std::unique_lock<std::mutex> lock(mutex);
    const auto newest = inbox;
    lock.unlock();
    if (newest != nullptr)
        newest->push(event);
}

// The manager's "remove" goes out first, as udev reports it before readers notice the node has
// gone; either way the removal callback runs once.
void FakeHidSource::Bus::remove(const std::string& key)
{
    const auto open = connectionsOf(key);
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (devices.erase(key) == 0)
            return;
    }
    Event event{ Event::Kind::removed, {} };
    event.device.key = key;
    post(event);
    for (auto& connection : open)
        connection->reports.close();
}

FakeHidSource::FakeHidSource() : m_bus(std::make_shared<Bus>()) {}

FakeHidSource::~FakeHidSource()
{
    if (m_installed)
        platform::setHidDeviceSourceFactory(nullptr);
}

platform::HidDeviceDescription FakeHidSource::qel720(uint32_t locationID, uint32_t versionNumber)
{
    platform::HidDeviceDescription device;
    device.vendorID = 0x3A91;
    device.productID = 0x0A6D;
    device.versionNumber = versionNumber;
    device.locationID = locationID;
    device.primaryUsagePage = 0xFF00;
    device.primaryUsage = 0x0001;
    return device;
}

void FakeHidSource::install()
{
    std::weak_ptr<Bus> weakBus = m_bus;
    platform::setHidDeviceSourceFactory(
        [weakBus]() -> std::unique_ptr<platform::HidDeviceSource>
        {
            auto bus = weakBus.lock();
            if (bus == nullptr)
                return platform::createSystemHidDeviceSource();
            std::lock_guard<std::mutex> lock(bus->mutex);
            bus->inbox = std::make_shared<Inbox>();
            return std::make_unique<FakeView>(bus, bus->inbox);
        });
    m_installed = true;
}

std::string FakeHidSource::addDevice(platform::HidDeviceDescription device)
{
    {
        std::lock_guard<std::mutex> lock(m_bus->mutex);
        if (device.key.empty())
            device.key = "fake-hid-" + std::to_string(m_bus->nextKey++);
        if (device.nodePath.empty())
            device.nodePath = "/dev/" + device.key;
        m_bus->devices[device.key].description = device;
    }
    m_bus->post({ Event::Kind::added, device });
    return device.key;
}

void FakeHidSource::removeDevice(const std::string& key) { m_bus->remove(key); }

void FakeHidSource::injectInputReport(const std::string& key, const std::vector<uint8_t>& report)
{
    for (auto& connection : m_bus->connectionsOf(key))
        connection->reports.push(report);
}

void FakeHidSource::setReportHandler(const std::string& key, OutputReportHandler handler)
{
    m_bus->change(key, [&](Bus::Device& device) { device.handler = std::move(handler); });
}

void FakeHidSource::setOpenError(const std::string& key, const std::string& reason)
{
    m_bus->change(key, [&](Bus::Device& device) { device.openError = reason; });
}

void FakeHidSource::setUnwatchable(const std::string& key)
{
    m_bus->change(key, [](Bus::Device& device) { device.unwatchable = true; });
}

void FakeHidSource::setStartFails(bool fails)
{
    std::lock_guard<std::mutex> lock(m_bus->mutex);
    m_bus->startFails = fails;
}

std::vector<std::vector<uint8_t>> FakeHidSource::writtenReports(const std::string& key) const
{
    std::lock_guard<std::mutex> lock(m_bus->mutex);
    auto found = m_bus->written.find(key);
    return found != m_bus->written.end() ? found->second : std::vector<std::vector<uint8_t>>{};
}

} // namespace testsupport
