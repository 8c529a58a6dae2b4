#include "HidDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <poll.h>

namespace
{
void setNumber(CFMutableDictionaryRef properties, const char* key, uint32_t value)
{
    if (properties == nullptr)
        return;
    CFStringRef name = __CFStringMakeConstantString(key);
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &value);
    if (number == nullptr)
        return; // the property stays absent
    CFDictionarySetValue(properties, name, number);
    CFRelease(number);
}
} // namespace

__IOHIDDevice::__IOHIDDevice(platform::HidDeviceDescription description,
                             std::shared_ptr<platform::HidDeviceSource> source)
    : CFObject(platform::typeHIDDevice),
      m_description(std::move(description)),
      m_source(std::move(source)),
      m_properties(CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                             &kCFTypeDictionaryValueCallBacks))
{
    setNumber(m_properties, kIOHIDVendorIDKey, m_description.vendorID);
    setNumber(m_properties, kIOHIDProductIDKey, m_description.productID);
    setNumber(m_properties, kIOHIDVersionNumberKey, m_description.versionNumber);
    setNumber(m_properties, kIOHIDLocationIDKey, m_description.locationID);
    setNumber(m_properties, kIOHIDPrimaryUsagePageKey, m_description.primaryUsagePage);
    setNumber(m_properties, kIOHIDPrimaryUsageKey, m_description.primaryUsage);
}

__IOHIDDevice::~__IOHIDDevice()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        unwatchLocked();
    }
    if (m_properties != nullptr)
        CFRelease(m_properties);
}

CFTypeRef __IOHIDDevice::property(CFStringRef key) const
{
    return key != nullptr && m_properties != nullptr ? CFDictionaryGetValue(m_properties, key) : nullptr;
}

void __IOHIDDevice::registerRemovalCallback(IOHIDCallback callback, void* context)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_removalCallback = callback;
    m_removalContext = context;
}

void __IOHIDDevice::registerInputReportCallback(uint8_t* buffer, CFIndex capacity, IOHIDReportCallback callback,
                                                void* context)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inputBuffer = buffer;
    m_inputCapacity = std::max<CFIndex>(0, capacity);
    m_inputCallback = callback;
    m_inputContext = context;
}

void __IOHIDDevice::schedule(CFRunLoopRef runLoop)
{
    bool watched;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        unwatchLocked();
        m_runLoop = platform::runLoopFromCF(runLoop);
        watched = watchLocked();
    }
    if (!watched)
        markRemoved();
}

void __IOHIDDevice::unschedule(CFRunLoopRef runLoop)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_runLoop == nullptr || m_runLoop != platform::runLoopFromCF(runLoop))
        return;
    unwatchLocked();
    m_runLoop = nullptr;
}

std::shared_ptr<platform::HidConnection> __IOHIDDevice::connectionLocked()
{
    if (m_connection != nullptr || m_removed)
        return m_connection;
    platform::HidOpenError error;
    m_connection = m_source->open(m_description, error);
    m_inUseElsewhere = m_connection == nullptr && error.inUse;
    if (m_connection == nullptr && !m_openFailureReported)
    {
        m_openFailureReported = true;
        // Access rights do not help with a node another program holds.
        const char* remedy =
            error.inUse ? "Quit the other program that uses the device (another updater, perhaps) and start the "
                          "updater again."
                        : "To give the logged-in user access, copy 70-qel720.rules (in the updater's "
                          "platform/linux/udev folder) to /etc/udev/rules.d/, run \"udevadm control --reload\" and "
                          "plug the device in again.";
        std::fprintf(stderr, "Cannot open the HID device node %s (vendor %04x, product %04x): %s. %s\n",
                     m_description.nodePath.c_str(), m_description.vendorID, m_description.productID,
                     error.reason.c_str(), remedy);
    }
    return m_connection;
}

IOReturn __IOHIDDevice::open()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_removed)
        return kIOReturnNotAttached;
    if (connectionLocked() != nullptr)
        return kIOReturnSuccess;
    return m_inUseElsewhere ? kIOReturnExclusiveAccess : kIOReturnNotOpen;
}

// Watches the node on the scheduled run loop once both exist (a node that cannot be opened yet is
// tried again at the next send). False when the run loop refused the node: the device could then
// never report input or removal, so the caller treats it as removed.
bool __IOHIDDevice::watchLocked()
{
    if (m_runLoop == nullptr || m_sourceId != 0)
        return true;
    auto connection = connectionLocked();
    if (connection == nullptr)
        return true;
    m_sourceId = m_runLoop->addFdSource(connection->eventFd(), [this](uint32_t events) { onReadable(events); });
    return m_sourceId != 0;
}

void __IOHIDDevice::unwatchLocked()
{
    if (m_runLoop != nullptr && m_sourceId != 0)
        m_runLoop->removeSource(m_sourceId);
    m_sourceId = 0;
}

// Run-loop thread. One report per call: the run loop calls again while more are waiting.
void __IOHIDDevice::onReadable(uint32_t pollEvents)
{
    std::shared_ptr<platform::HidConnection> connection;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        connection = m_connection;
    }
    if (connection == nullptr)
        return;
    std::vector<uint8_t> report;
    const auto result = connection->read(report);
    retain(); // the input callback may release the manager, and with it this device
    if (result == platform::HidConnection::ReadResult::report)
        deliverInputReport(report);
    else if (result == platform::HidConnection::ReadResult::gone || (pollEvents & (POLLERR | POLLHUP)) != 0)
        markRemoved();
    release();
}

void __IOHIDDevice::deliverInputReport(const std::vector<uint8_t>& report)
{
    IOHIDReportCallback callback;
    void* context;
    uint8_t* buffer;
    CFIndex capacity;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        callback = m_inputCallback;
        context = m_inputContext;
        buffer = m_inputBuffer;
        capacity = m_inputCapacity;
    }
    if (callback == nullptr || buffer == nullptr)
        return;
    const CFIndex length = std::min<CFIndex>((CFIndex)report.size(), capacity);
    if (length > 0)
        std::memcpy(buffer, report.data(), (size_t)length);
    callback(context, kIOReturnSuccess, this, kIOHIDReportTypeInput, 0, buffer, length);
}

std::shared_ptr<platform::RunLoop> __IOHIDDevice::shutDown()
{
    std::shared_ptr<platform::HidConnection> closing;
    std::shared_ptr<platform::RunLoop> runLoop;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_removed)
            return nullptr;
        m_removed = true;
        unwatchLocked();
        closing = std::move(m_connection);
        runLoop = m_runLoop;
    }
    if (closing != nullptr)
        closing->cancel(); // a write in flight fails now; the node closes when it lets go
    return runLoop;
}

void __IOHIDDevice::close() { shutDown(); }

void __IOHIDDevice::markRemoved()
{
    const auto runLoop = shutDown();
    if (runLoop == nullptr)
        return;
    retain(); // the posted call keeps the device alive until the removal has been delivered
    runLoop->perform(
        [this]
        {
            deliverRemoval();
            release();
        });
}

// Run-loop thread; runs once, after markRemoved.
void __IOHIDDevice::deliverRemoval()
{
    IOHIDCallback callback;
    void* context;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_runLoop == nullptr)
            return; // unscheduled in the meantime
        callback = m_removalCallback;
        context = m_removalContext;
    }
    if (callback != nullptr)
        callback(context, kIOReturnSuccess, this);
}

IOReturn __IOHIDDevice::setReport(IOHIDReportType type, CFIndex reportID, const uint8_t* report, CFIndex length)
{
    if (type != kIOHIDReportTypeOutput || reportID != 0)
        return kIOReturnUnsupported;
    if (report == nullptr || length <= 0)
        return kIOReturnBadArgument;

    std::shared_ptr<platform::HidConnection> connection;
    bool watched;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_removed)
            return kIOReturnNotAttached;
        watched = watchLocked(); // a node that could not be opened when scheduled is watched once it opens
        connection = connectionLocked();
    }
    if (!watched)
    {
        markRemoved();
        return kIOReturnNotAttached;
    }
    if (connection == nullptr)
        return kIOReturnNotOpen;

    // hidraw wants the report ID first: 0 for the device's unnumbered reports.
    std::vector<uint8_t> bytes(1, 0);
    bytes.insert(bytes.end(), report, report + length);
    switch (connection->write(bytes.data(), bytes.size()))
    {
        case platform::HidConnection::WriteResult::written: return kIOReturnSuccess;
        case platform::HidConnection::WriteResult::gone: return kIOReturnNotAttached;
        default: break;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_removed ? kIOReturnNotAttached : kIOReturnIOError;
}
