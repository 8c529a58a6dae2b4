#pragma once

// What the HID tests share besides the device stand-ins: serving the test thread's run loop
// (where the callbacks of everything scheduled on that thread are delivered; tests without JUCE
// call these in place of an event loop) and clean-up of the HID layer's process-wide state. Call
// them on the test's thread.

#include "HIDDeviceList.h"
#include "HidUtil.h"
#include "RunLoop.h"

#include <chrono>
#include <functional>

namespace testsupport
{

// Serves the calling thread's run loop until `done` holds or the time is up; returns done().
inline bool pumpUntil(const std::function<bool()>& done, double seconds = 3.0)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done())
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        platform::RunLoop::current()->runOnce(0.01);
    }
    return true;
}

// Serves the calling thread's run loop until everything posted to it so far has run (posted work
// runs in the order posted). The flag is shared: the marker may run after a time-out.
inline bool pumpPosted()
{
    const auto reached = std::make_shared<bool>(false);
    platform::RunLoop::current()->perform([reached] { *reached = true; });
    return pumpUntil([&] { return *reached; });
}

// Puts the HID layer's globals back to "no holder, no list, no manager".
inline void resetHidGlobals()
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
