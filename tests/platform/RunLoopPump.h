#pragma once

// Serves the calling thread's run loop until a condition holds or the time runs out.

#include <platform/CoreFoundation.h>

#include <chrono>
#include <functional>

inline bool pumpUntil (const std::function<bool()>& done, double seconds = 3.0)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double> (seconds);
    while (! done())
    {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        CFRunLoopRunInMode (kCFRunLoopDefaultMode, 0.01, true);
    }
    return true;
}

// Serves whatever arrives within the time, to show that nothing more comes.
inline void pumpFor (double seconds)
{
    pumpUntil ([] { return false; }, seconds);
}
