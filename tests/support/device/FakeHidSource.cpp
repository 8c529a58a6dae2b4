#include "FakeHidSource.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>

namespace testsupport
{

namespace
{
// A counting eventfd: readable while the count is above zero.
class Signal
{
public:
    Signal() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK | EFD_SEMAPHORE)) {}
    ~Signal() { close(m_fd); }
    int fd() const { return m_fd; }
    void raise() const
    {
        const uint64_t one = 1;
        [[maybe_unused]] auto done = write(m_fd, &one, sizeof one);
    }
    void lower() const
    {
        uint64_t value;
        [[maybe_unused]] auto done = read(m_fd, &value, sizeof value);
    }

private:
    const int m_fd;
};

class FakeConnection;
class FakeView;
} // namespace

struct FakeHidSource::Bus : std::enable_shared_from_this<FakeHidSource::Bus>
{
    struct Device
    {
        platform::HidDeviceDescription description;
        bool writeFails = false;
        std::string openError;
        OutputReportHandler handler;
        std::vector<std::weak_ptr<FakeConnection>> connections;
    };

    std::shared_ptr<platform::HidConnection> open(const std::string& key, std::string& error);
    platform::HidConnection::WriteResult write(const std::string& key, const uint8_t* bytes, size_t length);
    void post(const platform::HidDeviceSource::Event& event);
    std::vector<std::shared_ptr<FakeConnection>> connectionsOf(const std::string& key);
    void remove(const std::string& key);

    mutable std::mutex mutex;
    std::map<std::string, Device> devices;
    std::map<std::string, std::vector<std::vector<uint8_t>>> written; // kept after removal
    std::vector<std::weak_ptr<FakeView>> views;
    WriteObserver observer;
    int nextKey = 1;
};

namespace
{
class FakeConnection : public platform::HidConnection
{
public:
    FakeConnection(std::weak_ptr<FakeHidSource::Bus> bus, std::string key)
        : m_bus(std::move(bus)),
          m_key(std::move(key))
    {
    }

    int eventFd() const override { return m_signal.fd(); }

    ReadResult read(std::vector<uint8_t>& report) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_reports.empty())
        {
            report = std::move(m_reports.front());
            m_reports.pop_front();
            m_signal.lower();
            return ReadResult::report;
        }
        return m_gone ? ReadResult::gone : ReadResult::nothingYet;
    }

    WriteResult write(const uint8_t* bytes, size_t length) override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_gone)
                return WriteResult::gone;
        }
        auto bus = m_bus.lock();
        return bus != nullptr ? bus->write(m_key, bytes, length) : WriteResult::gone;
    }

    void queue(const std::vector<uint8_t>& report)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_gone)
            return;
        m_reports.push_back(report);
        m_signal.raise();
    }

    void hangUp()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_gone)
            return;
        m_gone = true;
        m_signal.raise(); // stays readable: the reader sees `gone` after the queued reports
    }

private:
    const std::weak_ptr<FakeHidSource::Bus> m_bus;
    const std::string m_key;
    Signal m_signal;
    std::mutex m_mutex;
    std::deque<std::vector<uint8_t>> m_reports;
    bool m_gone = false;
};

// What one manager sees of the bus.
class FakeView : public platform::HidDeviceSource
{
public:
    explicit FakeView(std::shared_ptr<FakeHidSource::Bus> bus) : m_bus(std::move(bus)) {}

    bool start() override { return true; }

    std::vector<platform::HidDeviceDescription> enumerate() override
    {
        std::lock_guard<std::mutex> lock(m_bus->mutex);
        std::vector<platform::HidDeviceDescription> devices;
        for (auto& entry : m_bus->devices)
            devices.push_back(entry.second.description);
        return devices;
    }

    int eventFd() const override { return m_signal.fd(); }

    std::vector<Event> readEvents() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<Event> events(m_events.begin(), m_events.end());
        for (size_t i = 0; i < m_events.size(); ++i)
            m_signal.lower();
        m_events.clear();
        return events;
    }

    std::shared_ptr<platform::HidConnection> open(const platform::HidDeviceDescription& device,
                                                  std::string& error) override
    {
        return m_bus->open(device.key, error);
    }

    void post(const Event& event)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(event);
        m_signal.raise();
    }

private:
    const std::shared_ptr<FakeHidSource::Bus> m_bus;
    Signal m_signal;
    std::mutex m_mutex;
    std::deque<Event> m_events;
};
} // namespace

std::shared_ptr<platform::HidConnection> FakeHidSource::Bus::open(const std::string& key, std::string& error)
{
    std::lock_guard<std::mutex> lock(mutex);
    auto found = devices.find(key);
    if (found == devices.end())
    {
        error = "No such device";
        return nullptr;
    }
    if (!found->second.openError.empty())
    {
        error = found->second.openError;
        return nullptr;
    }
    auto connection = std::make_shared<FakeConnection>(weak_from_this(), key);
    found->second.connections.push_back(connection);
    return connection;
}

std::vector<std::shared_ptr<FakeConnection>> FakeHidSource::Bus::connectionsOf(const std::string& key)
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::shared_ptr<FakeConnection>> open;
    auto found = devices.find(key);
    if (found != devices.end())
        for (auto& weak : found->second.connections)
            if (auto connection = weak.lock())
                open.push_back(connection);
    return open;
}

// Writer's thread. The observer and the handler run without the bus lock, so they may call
// back into the fake.
platform::HidConnection::WriteResult FakeHidSource::Bus::write(const std::string& key, const uint8_t* bytes,
                                                               size_t length)
{
    using WriteResult = platform::HidConnection::WriteResult;
    std::vector<uint8_t> report(bytes, bytes + length);
    WriteObserver observerCopy;
    OutputReportHandler handler;
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto found = devices.find(key);
        if (found == devices.end())
            return WriteResult::gone;
        if (found->second.writeFails)
            return WriteResult::failed;
        written[key].push_back(report);
        observerCopy = observer;
        handler = found->second.handler;
    }
    if (observerCopy)
        observerCopy(key, report);
    if (!handler)
        return WriteResult::written;

    const size_t skip = report.empty() ? 0 : 1; // the report-ID byte
    const OutputReportOutcome outcome = handler(report.data() + skip, report.size() - skip);
    if (outcome.reply)
        for (auto& connection : connectionsOf(key))
            connection->queue(std::vector<uint8_t>(outcome.reply->begin(), outcome.reply->end()));
    if (outcome.removeDevice)
        remove(key);
    return WriteResult::written;
}

void FakeHidSource::Bus::post(const platform::HidDeviceSource::Event& event)
{
    std::vector<std::shared_ptr<FakeView>> live;
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto& weak : views)
            if (auto view = weak.lock())
                live.push_back(view);
    }
    for (auto& view : live)
        view->post(event);
}

void FakeHidSource::Bus::remove(const std::string& key)
{
    std::vector<std::shared_ptr<FakeConnection>> open = connectionsOf(key);
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (devices.erase(key) == 0)
            return;
    }
    // The manager's "remove" goes out first, as udev reports it before readers notice the node
    // has gone; either way the removal callback runs once.
    platform::HidDeviceSource::Event event{ platform::HidDeviceSource::Event::Kind::removed, {} };
    event.device.key = key;
    post(event);
    for (auto& connection : open)
        connection->hangUp();
}

FakeHidSource::FakeHidSource() : m_bus(std::make_shared<Bus>()) {}

FakeHidSource::~FakeHidSource() { uninstall(); }

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
    std::weak_ptr<Bus> bus = m_bus;
    platform::setHidDeviceSourceFactory(
        [bus]() -> std::unique_ptr<platform::HidDeviceSource>
        {
            auto shared = bus.lock();
            if (shared == nullptr)
                return platform::createSystemHidDeviceSource();
            auto view = std::make_shared<FakeView>(shared);
            {
                std::lock_guard<std::mutex> lock(shared->mutex);
                shared->views.push_back(view);
            }
            // The manager owns a forwarding wrapper; the bus keeps only a weak reference.
            struct Owner : platform::HidDeviceSource
            {
                explicit Owner(std::shared_ptr<FakeView> v) : view(std::move(v)) {}
                bool start() override { return view->start(); }
                std::vector<platform::HidDeviceDescription> enumerate() override { return view->enumerate(); }
                int eventFd() const override { return view->eventFd(); }
                std::vector<Event> readEvents() override { return view->readEvents(); }
                std::shared_ptr<platform::HidConnection> open(const platform::HidDeviceDescription& d,
                                                              std::string& e) override
                {
                    return view->open(d, e);
                }
                std::shared_ptr<FakeView> view;
            };
            return std::make_unique<Owner>(view);
        });
    m_installed = true;
}

void FakeHidSource::uninstall()
{
    if (m_installed)
        platform::setHidDeviceSourceFactory(nullptr);
    m_installed = false;
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
    m_bus->post({ platform::HidDeviceSource::Event::Kind::added, device });
    return device.key;
}

void FakeHidSource::removeDevice(const std::string& key) { m_bus->remove(key); }

void FakeHidSource::injectInputReport(const std::string& key, const std::vector<uint8_t>& report)
{
    for (auto& connection : m_bus->connectionsOf(key))
        connection->queue(report);
}

void FakeHidSource::setWriteObserver(WriteObserver observer)
{
    std::lock_guard<std::mutex> lock(m_bus->mutex);
    m_bus->observer = std::move(observer);
}

void FakeHidSource::setReportHandler(const std::string& key, OutputReportHandler handler)
{
    std::lock_guard<std::mutex> lock(m_bus->mutex);
    auto found = m_bus->devices.find(key);
    if (found != m_bus->devices.end())
        found->second.handler = std::move(handler);
}

void FakeHidSource::setWriteFails(const std::string& key, bool fails)
{
    std::lock_guard<std::mutex> lock(m_bus->mutex);
    auto found = m_bus->devices.find(key);
    if (found != m_bus->devices.end())
        found->second.writeFails = fails;
}

void FakeHidSource::setOpenError(const std::string& key, const std::string& reason)
{
    std::lock_guard<std::mutex> lock(m_bus->mutex);
    auto found = m_bus->devices.find(key);
    if (found != m_bus->devices.end())
        found->second.openError = reason;
}

std::vector<std::vector<uint8_t>> FakeHidSource::writtenReports(const std::string& key) const
{
    std::lock_guard<std::mutex> lock(m_bus->mutex);
    auto found = m_bus->written.find(key);
    return found != m_bus->written.end() ? found->second : std::vector<std::vector<uint8_t>>{};
}

int FakeHidSource::openConnectionCount(const std::string& key) const { return (int)m_bus->connectionsOf(key).size(); }

} // namespace testsupport
