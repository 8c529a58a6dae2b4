#include "CFObject.h"
#include "RunLoop.h"

struct __CFRunLoop : platform::CFObject
{
    explicit __CFRunLoop(std::shared_ptr<platform::RunLoop> loop)
        : CFObject(platform::typeRunLoop),
          loop(std::move(loop))
    {
    }

    const std::shared_ptr<platform::RunLoop> loop;
};

namespace
{
// Owns the calling thread's CFRunLoop object; releases it when the thread ends. Anything
// scheduled on the loop keeps the RunLoop itself alive through its own shared_ptr.
struct ThreadRunLoop
{
    ~ThreadRunLoop()
    {
        if (object != nullptr)
            CFRelease(object);
    }
    __CFRunLoop* object = nullptr;
};
} // namespace

const CFRunLoopMode kCFRunLoopDefaultMode = CFSTR("kCFRunLoopDefaultMode");

CFTypeID CFRunLoopGetTypeID() { return platform::typeRunLoop; }

CFRunLoopRef CFRunLoopGetCurrent()
{
    thread_local ThreadRunLoop current;
    if (current.object == nullptr)
        current.object = new __CFRunLoop(platform::RunLoop::current());
    return current.object;
}

SInt32 CFRunLoopRunInMode(CFRunLoopMode mode, CFTimeInterval seconds, Boolean returnAfterSourceHandled)
{
    return platform::RunLoop::current()->run(platform::runLoopModeName(mode), seconds, returnAfterSourceHandled != 0);
}

void CFRunLoopStop(CFRunLoopRef runLoop)
{
    platform::requireObject(runLoop, "CFRunLoopStop");
    runLoop->loop->stop();
}

void CFRunLoopWakeUp(CFRunLoopRef runLoop)
{
    platform::requireObject(runLoop, "CFRunLoopWakeUp");
    runLoop->loop->wakeUp();
}

namespace platform
{

std::shared_ptr<RunLoop> runLoopFromCF(CFRunLoopRef runLoop) { return runLoop != nullptr ? runLoop->loop : nullptr; }

std::string runLoopModeName(CFStringRef mode)
{
    // Spelled out for null, so that it also works before kCFRunLoopDefaultMode is initialised.
    const char* name = mode != nullptr ? CFStringGetCStringPtr(mode, kCFStringEncodingUTF8) : nullptr;
    return name != nullptr ? name : "kCFRunLoopDefaultMode";
}

} // namespace platform
