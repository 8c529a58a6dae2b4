#pragma once

// Serves the message thread's CFRunLoop (default mode) from JUCE's Linux event loop, so that the
// HID callbacks scheduled on the message thread run there while JUCE dispatches. The run loop's
// default-mode descriptor is watched with juce::LinuxEventLoop::registerFdCallback; nothing polls.
//
// Create and destroy it on the message thread (registerFdCallback may only be used there), after
// JUCE is initialised and before the HID layer is used; keep it for the program's lifetime.

#include <memory>

namespace platform
{

class RunLoop;

class JuceRunLoopBridge
{
public:
    JuceRunLoopBridge();
    ~JuceRunLoopBridge();
    JuceRunLoopBridge(const JuceRunLoopBridge&) = delete;
    JuceRunLoopBridge& operator=(const JuceRunLoopBridge&) = delete;

private:
    std::shared_ptr<RunLoop> m_runLoop;
    int m_fd = -1;
};

} // namespace platform
