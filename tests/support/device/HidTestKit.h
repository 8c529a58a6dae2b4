#pragma once

// What the HID tests share besides the device stand-ins: serving the test thread's run loop
// (where the callbacks of everything scheduled on that thread are delivered; tests without JUCE
// call these in place of an event loop), report bytes, and clean-up of the HID layer's
// process-wide state. Call them on the test's thread.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace testsupport
{

// Serves the calling thread's run loop until `done` holds or the time is up; returns done().
bool pumpUntil(const std::function<bool()>& done, double seconds = 3.0);

// Serves whatever arrives within the time, to show that nothing more comes.
inline void pumpFor(double seconds)
{
    pumpUntil([] { return false; }, seconds);
}

// A report of `size` bytes filled with `fill`, starting with `head`.
std::vector<uint8_t> makeReport(std::vector<uint8_t> head, uint8_t fill = 0, size_t size = 64);

// Puts the HID layer's globals back to "no holder, no list, no manager".
void resetHidGlobals();

} // namespace testsupport
