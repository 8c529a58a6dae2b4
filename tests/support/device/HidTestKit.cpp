#include "HidTestKit.h"

#include "HIDDeviceList.h"
#include "HidUtil.h"
#include "RunLoop.h"

#include <chrono>

namespace testsupport
{

bool pumpUntil(const std::function<bool()>& done, double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    const auto runLoop = platform::RunLoop::current();
    while (!done())
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        runLoop->runOnce(0.01);
    }
    return true;
}

std::vector<uint8_t> makeReport(std::vector<uint8_t> head, uint8_t fill, size_t size)
{
    head.resize(size, fill);
    return head;
}

void resetHidGlobals()
{
    if (HidUtil::m_pinstance != nullptr)
        HidUtil::m_pinstance->finalize();
    HIDReleaseDeviceList();
    if (gIOHIDManagerRef != nullptr)
        CFRelease(gIOHIDManagerRef);
    gIOHIDManagerRef = nullptr;
    gDeviceIndex = 0;
}

} // namespace testsupport
