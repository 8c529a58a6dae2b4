#include "HidUtil.h"

#include "HIDDeviceList.h"
#include "HidHandler.h"

#include <cstdio>
#include <cstring>

const int32_t HidUtil::HidDeviceType[2] = { 0, 0x0A6D };
HidUtil* HidUtil::m_pinstance = nullptr;

HidUtil::HidUtil()
    : m_pHandler(nullptr),
      m_deviceType(0),
      m_pDevice(nullptr),
      m_pReportBuf(new unsigned char[kReportSize]),
      m_reportLen(0),
      m_bMatchingRegistered(false),
      m_bWasActive(false)
{
}

HidUtil::~HidUtil()
{
    finalize();
    delete[] m_pReportBuf;

    // The manager is abandoned so that the next holder builds a fresh one. Only a holder that
    // was active, with no other one active now, may drop it: a refused holder must not pull
    // the manager from under the active one.
    if (m_bWasActive && m_pinstance == nullptr && gIOHIDManagerRef != nullptr)
    {
        // The device's node is let go now, for a later holder or program: a call the manager posted
        // may keep the manager itself a while longer.
        IOHIDManagerClose(gIOHIDManagerRef, kIOHIDOptionsTypeNone);
        CFRelease(gIOHIDManagerRef);
        gIOHIDManagerRef = nullptr;
    }
}

bool HidUtil::initialize(HidHandler* handler, int deviceType)
{
    if (m_pinstance != nullptr)
        return false;
    if (deviceType < 0 || deviceType > 1)
        return false;

    m_pinstance = this;
    m_bWasActive = true;
    m_pHandler = handler;
    m_deviceType = deviceType;
    HIDBuildDeviceList(0, 0);
    return true;
}

bool HidUtil::qelMatching(IOHIDDeviceRef device)
{
    if (m_pDevice != nullptr)
        return false;
    if (IOHIDDevice_GetVendorID(device) != kVendorId)
        return false;
    if (IOHIDDevice_GetProductID(device) != static_cast<long>(HidDeviceType[m_deviceType]))
        return false;
    // A node that does not open (no access, or another program drives the device) is not taken:
    // held, it would count as connected and every send would fail.
    if (IOHIDDeviceOpen(device, kIOHIDOptionsTypeNone) != kIOReturnSuccess)
        return false;

    {
        std::lock_guard<std::mutex> lock(m_deviceLock);
        m_pDevice = device;
    }
    std::memset(m_pReportBuf, 0, kReportSize);
    m_reportLen = 0;

    IOHIDDeviceRegisterRemovalCallback(device, Handle_IOHIDDeviceRemovalCallback, this);
    IOHIDDeviceRegisterInputReportCallback(device, m_pReportBuf, kReportSize, Handle_IOHIDDeviceIOHIDReportCallback,
                                           nullptr);
    IOHIDDeviceScheduleWithRunLoop(device, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    return true;
}

bool HidUtil::deviceMatching()
{
    if (m_pDevice != nullptr)
        return true;

    for (IOHIDDeviceRef device = HIDGetFirstDevice(); device != nullptr; device = HIDGetNextDevice(device))
    {
        if (qelMatching(device))
            break;
    }

    if (!m_bMatchingRegistered && gIOHIDManagerRef != nullptr)
    {
        m_bMatchingRegistered = true;
        IOHIDManagerRegisterDeviceMatchingCallback(gIOHIDManagerRef, Handle_DeviceMatchingCallback, m_pinstance);
        IOHIDManagerScheduleWithRunLoop(gIOHIDManagerRef, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    }
    return m_pDevice != nullptr;
}

long HidUtil::deviceVersion()
{
    if (m_pDevice == nullptr)
        return 0;

    const long v = IOHIDDevice_GetVersionNumber(m_pDevice);
    return (v / 0x1000) * 1000 + ((v % 0x1000) / 0x100) * 100 + ((v % 0x100) / 0x10) * 10 + (v % 0x10);
}

unsigned long HidUtil::deviceInput(unsigned char* pdata, unsigned long length, int)
{
    if (pdata == nullptr || length == 0)
    {
        fprintf(stderr, "deviceInput failed. pdata:%p length:%ld\r\n", static_cast<void*>(pdata),
                static_cast<long>(length));
        return 0;
    }
    if (m_pDevice == nullptr)
    {
        fprintf(stderr, "deviceInput failed. m_pDevice:%p\r\n", static_cast<void*>(m_pDevice));
        return 0;
    }

    const unsigned long n = m_reportLen < length ? m_reportLen : length;
    std::memcpy(pdata, m_pReportBuf, n);
    return n;
}

bool HidUtil::deviceOutput(unsigned char* pdata, unsigned long length)
{
    if (pdata == nullptr || length == 0)
        return false;

    // The owning thread may release the device at any moment. Take our own reference under the
    // lock, so the device object outlives this send even if the manager drops it meanwhile; a
    // device that has gone makes the send fail.
    IOHIDDeviceRef device;
    {
        std::lock_guard<std::mutex> lock(m_deviceLock);
        device = m_pDevice;
        if (device == nullptr)
            return false;
        CFRetain(device);
    }

    const IOReturn result =
        IOHIDDeviceSetReport(device, kIOHIDReportTypeOutput, 0, pdata, static_cast<CFIndex>(length));
    CFRelease(device);
    return result == kIOReturnSuccess;
}

void HidUtil::finalize()
{
    if (m_pDevice != nullptr)
        releaseDevice();

    // The list, the manager's callback and the instance pointer belong to the active holder.
    if (m_pinstance == this)
    {
        HIDReleaseDeviceList();
        if (gIOHIDManagerRef != nullptr)
            IOHIDManagerRegisterDeviceMatchingCallback(gIOHIDManagerRef, nullptr, nullptr);
        m_pinstance = nullptr;
    }
    m_pHandler = nullptr;
}

void HidUtil::releaseDevice()
{
    IOHIDDeviceRegisterRemovalCallback(m_pDevice, nullptr, nullptr);
    IOHIDDeviceRegisterInputReportCallback(m_pDevice, m_pReportBuf, kReportSize, nullptr, nullptr);
    IOHIDDeviceUnscheduleFromRunLoop(m_pDevice, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
    {
        std::lock_guard<std::mutex> lock(m_deviceLock);
        m_pDevice = nullptr;
    }
    std::memset(m_pReportBuf, 0, kReportSize);
    m_reportLen = 0;
}

void HidUtil::Handle_DeviceMatchingCallback(void* inContext, IOReturn, void*, IOHIDDeviceRef inIOHIDDeviceRef)
{
    auto* holder = static_cast<HidUtil*>(inContext);
    if (holder == nullptr || !holder->qelMatching(inIOHIDDeviceRef))
        return;
    if (holder->m_pHandler != nullptr)
        holder->m_pHandler->matchingCallBack();
}

void HidUtil::Handle_IOHIDDeviceRemovalCallback(void* inContext, IOReturn, void* inSender)
{
    auto* holder = static_cast<HidUtil*>(inContext);
    if (holder == nullptr || inSender == nullptr || holder->m_pDevice == nullptr)
        return;

    holder->releaseDevice();
    if (holder->m_pHandler != nullptr)
        holder->m_pHandler->removalCallBack();
}

void HidUtil::Handle_IOHIDDeviceIOHIDReportCallback(void*, IOReturn, void*, IOHIDReportType, uint32_t, uint8_t*,
                                                    CFIndex inReportLength)
{
    HidUtil* holder = m_pinstance;
    if (holder == nullptr)
        return;

    const uint32_t length = static_cast<uint32_t>(inReportLength);
    holder->m_reportLen = length < kReportSize ? length : kReportSize;

    // The platform wrote the report into our buffer; only device replies (0xF0 and up) go on.
    if (holder->m_pReportBuf[0] >= 0xF0 && holder->m_pHandler != nullptr)
        holder->m_pHandler->inputCallBack(0);
}
