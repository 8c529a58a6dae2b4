#pragma once

// Serving the test thread's run loop, where the HID callbacks of devices and managers scheduled
// on that thread are delivered. Tests without JUCE call these in place of an event loop.

#include <functional>

// Serves the calling thread's run loop (default mode) until `done` holds or the time is up.
// Returns done() at the end.
bool pumpUntil(const std::function<bool()>& done, double seconds = 3.0);

// Serves whatever arrives within the time, to show that nothing more comes.
inline void pumpFor(double seconds)
{
    pumpUntil([] { return false; }, seconds);
}
