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

CFRunLoopRef CFRunLoopGetCurrent()
{
    thread_local ThreadRunLoop current;
    if (current.object == nullptr)
        current.object = new __CFRunLoop(platform::RunLoop::current());
    return current.object;
}

namespace platform
{

std::shared_ptr<RunLoop> runLoopFromCF(CFRunLoopRef runLoop) { return runLoop != nullptr ? runLoop->loop : nullptr; }

} // namespace platform
