#include "JuceRunLoopBridge.h"

#include "RunLoop.h"

#include <juce_events/juce_events.h>

namespace platform
{

JuceRunLoopBridge::JuceRunLoopBridge()
    : m_runLoop(RunLoop::current()),
      m_fd(m_runLoop->modeFd(runLoopModeName(kCFRunLoopDefaultMode)))
{
    // The descriptor is readable while something in the default mode is ready; one pass that
    // does not wait serves it, and JUCE calls again while it stays readable.
    std::weak_ptr<RunLoop> loop = m_runLoop;
    juce::LinuxEventLoop::registerFdCallback(m_fd,
                                             [loop](int)
                                             {
                                                 if (auto runLoop = loop.lock())
                                                     runLoop->run(runLoopModeName(kCFRunLoopDefaultMode), 0.0, false);
                                             });
}

JuceRunLoopBridge::~JuceRunLoopBridge() { juce::LinuxEventLoop::unregisterFdCallback(m_fd); }

} // namespace platform
