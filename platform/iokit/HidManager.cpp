#include "HidManager.h"

__IOHIDManager::__IOHIDManager() : CFObject(platform::typeHIDManager), m_source(platform::createHidDeviceSource()) {}

__IOHIDManager::~__IOHIDManager()
{
    if (m_runLoop != nullptr && m_sourceId != 0)
        m_runLoop->removeSource(m_sourceId);
    for (auto* dictionary : m_matching)
        CFRelease(dictionary);
    for (auto& entry : m_devices)
    {
        entry.second->close(); // a thread still holding the device gets failures, not a stale node
        CFRelease(entry.second);
    }
}

void __IOHIDManager::setMatching(CFArrayRef dictionaries)
{
    for (auto* dictionary : m_matching)
        CFRelease(dictionary);
    m_matching.clear();
    m_matchAll = dictionaries == nullptr;
    for (CFIndex i = 0; dictionaries != nullptr && i < CFArrayGetCount(dictionaries); ++i)
    {
        auto value = CFArrayGetValueAtIndex(dictionaries, i);
        if (value != nullptr && CFGetTypeID(value) == CFDictionaryGetTypeID())
            m_matching.push_back(static_cast<CFDictionaryRef>(CFRetain(value)));
    }
    if (m_open)
        reconcile();
}

namespace
{
struct MatchState
{
    const __IOHIDDevice* device;
    bool matches;
};

void matchEntry(const void* key, const void* value, void* context)
{
    auto& state = *static_cast<MatchState*>(context);
    if (CFGetTypeID(key) != CFStringGetTypeID())
    {
        state.matches = false;
        return;
    }
    CFTypeRef property = state.device->property(static_cast<CFStringRef>(key));
    if (property == nullptr || value == nullptr || !CFEqual(property, value))
        state.matches = false;
}
} // namespace

bool __IOHIDManager::matches(const __IOHIDDevice& device) const
{
    if (m_matchAll)
        return true;
    for (auto* dictionary : m_matching)
    {
        MatchState state{ &device, true };
        CFDictionaryApplyFunction(dictionary, matchEntry, &state);
        if (state.matches)
            return true;
    }
    return false;
}

// Brings the device set in line with the matching after it changed.
void __IOHIDManager::reconcile()
{
    for (auto it = m_devices.begin(); it != m_devices.end();)
    {
        if (matches(*it->second))
        {
            ++it;
            continue;
        }
        it->second->close();
        it->second->release();
        it = m_devices.erase(it);
    }
    for (auto& entry : m_known)
        addDevice(entry.second);
}

bool __IOHIDManager::addDevice(const platform::HidDeviceDescription& description)
{
    if (m_devices.count(description.key) != 0)
        return false;
    auto* device = new __IOHIDDevice(description, m_source);
    if (!matches(*device))
    {
        device->release();
        return false;
    }
    m_devices[description.key] = device;
    return true;
}

void __IOHIDManager::removeDevice(const std::string& key)
{
    m_known.erase(key);
    auto found = m_devices.find(key);
    if (found == m_devices.end())
        return;
    __IOHIDDevice* device = found->second;
    m_devices.erase(found);
    device->markRemoved();
    device->release();
}

IOReturn __IOHIDManager::open()
{
    if (m_open)
        return kIOReturnSuccess;
    if (m_source == nullptr || !m_source->start())
        return kIOReturnError;
    for (auto& description : m_source->enumerate())
        m_known[description.key] = description;
    m_open = true;
    reconcile();
    watch();
    return kIOReturnSuccess;
}

// A posted call may keep the manager for a while after its holder lets go: the devices, and with
// them their nodes and the holds on them, go now.
void __IOHIDManager::close()
{
    if (m_runLoop != nullptr && m_sourceId != 0)
        m_runLoop->removeSource(m_sourceId);
    m_sourceId = 0;
    for (auto& entry : m_devices)
    {
        entry.second->close();
        entry.second->release();
    }
    m_devices.clear();
    m_known.clear();
    m_open = false;
}

CFSetRef __IOHIDManager::copyDevices() const
{
    if (m_devices.empty())
        return nullptr;
    std::vector<const void*> devices;
    for (auto& entry : m_devices)
        devices.push_back(entry.second);
    return CFSetCreate(kCFAllocatorDefault, devices.data(), (CFIndex)devices.size(), &kCFTypeSetCallBacks);
}

void __IOHIDManager::registerMatchingCallback(IOHIDDeviceCallback callback, void* context)
{
    m_matchingCallback = callback;
    m_matchingContext = context;
    if (callback != nullptr && m_runLoop != nullptr)
        announcePresentDevices();
}

void __IOHIDManager::schedule(CFRunLoopRef runLoop)
{
    if (m_runLoop != nullptr && m_sourceId != 0)
        m_runLoop->removeSource(m_sourceId);
    m_sourceId = 0;
    m_runLoop = platform::runLoopFromCF(runLoop);
    watch();
    if (m_matchingCallback != nullptr)
        announcePresentDevices();
}

// Serves the source's hot-plug events on the run loop once the manager is open and scheduled. A
// source the run loop refuses stays unwatched (the run loop has said why): devices still report
// their own removal through their nodes, but arrivals go unseen until the manager is scheduled
// again.
void __IOHIDManager::watch()
{
    if (!m_open || m_runLoop == nullptr || m_sourceId != 0 || m_source->eventFd() < 0)
        return;
    m_sourceId = m_runLoop->addFdSource(m_source->eventFd(), [this](uint32_t) { processEvents(); });
}

// Removals are posted by the devices as they are seen, arrivals after them, so a device
// re-plugged within one batch is announced after the old one's removal has been delivered.
void __IOHIDManager::processEvents()
{
    std::vector<std::string> arrived;
    for (auto& event : m_source->readEvents())
    {
        if (event.kind == platform::HidDeviceSource::Event::Kind::removed)
        {
            removeDevice(event.device.key);
            continue;
        }
        if (m_known.count(event.device.key) != 0)
            continue; // already enumerated
        m_known[event.device.key] = event.device;
        if (addDevice(event.device))
            arrived.push_back(event.device.key);
    }
    if (!arrived.empty())
        announce(std::move(arrived));
}

void __IOHIDManager::announcePresentDevices()
{
    std::vector<std::string> keys;
    for (auto& entry : m_devices)
        keys.push_back(entry.first);
    announce(std::move(keys));
}

void __IOHIDManager::announce(std::vector<std::string> keys)
{
    retain(); // the posted call keeps the manager alive, even if a callback releases it
    m_runLoop->perform(
        [this, keys = std::move(keys)]
        {
            for (auto& key : keys)
            {
                auto found = m_devices.find(key);
                if (found != m_devices.end() && m_matchingCallback != nullptr)
                    m_matchingCallback(m_matchingContext, kIOReturnSuccess, this, found->second);
            }
            release();
        });
}
