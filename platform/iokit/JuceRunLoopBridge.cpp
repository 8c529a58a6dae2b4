#include "JuceRunLoopBridge.h"

#include "RunLoop.h"

#include <juce_events/juce_events.h>

namespace platform
{

JuceRunLoopBridge::JuceRunLoopBridge() : m_runLoop(RunLoop::current()), m_fd(m_runLoop->fd())
{
    if (m_fd < 0)
        return; // the run loop has said why on stderr; the HID callbacks cannot be served
    // The descriptor is readable while something is ready; one pass that does not wait serves
    // it, and JUCE calls again while it stays readable.
    std::weak_ptr<RunLoop> loop = m_runLoop;
    juce::LinuxEventLoop::registerFdCallback(m_fd,
                                             [loop](int)
                                             {
                                                 if (auto runLoop = loop.lock())
                                                     runLoop->runOnce(0.0);
                                             });
}

JuceRunLoopBridge::~JuceRunLoopBridge()
{
    if (m_fd >= 0)
        juce::LinuxEventLoop::unregisterFdCallback(m_fd);
}

} // namespace platform
