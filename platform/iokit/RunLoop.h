#pragma once

// The run loop behind CFRunLoopRef: one per thread, serving file-descriptor sources and work
// posted from other threads, per mode. Each mode has one pollable descriptor (readable whenever
// something in that mode is ready), so another event loop can serve the run loop by watching a
// single descriptor (see JuceRunLoopBridge).
//
// Threading: addFdSource, removeSource, perform, stop and wakeUp may be called from any thread;
// run only on the owning thread. Callbacks run on the thread that calls run. A source removed
// while a pass is dispatching is not called again.

#include "CoreFoundation.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform
{

class RunLoop
{
public:
    using FdCallback = std::function<void(uint32_t pollEvents)>;

    RunLoop();
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // The calling thread's run loop, created on first use.
    static std::shared_ptr<RunLoop> current();

    // Calls `callback` with the poll events (POLLIN, POLLERR, POLLHUP) while `fd` is ready.
    // The callback must consume what made the fd ready, or remove the source. Returns the
    // source's id (never 0).
    uint64_t addFdSource(const std::string& mode, int fd, FdCallback callback);
    void removeSource(uint64_t sourceId);
    // Runs `work` once, on the loop's thread, the next time the loop runs in `mode`.
    void perform(const std::string& mode, std::function<void()> work);

    // Readable whenever a source or posted work of `mode` is ready.
    int modeFd(const std::string& mode);
    SInt32 run(const std::string& mode, double seconds, bool returnAfterSourceHandled);
    void stop();
    void wakeUp();

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// The RunLoop behind a CFRunLoopRef (null for null).
std::shared_ptr<RunLoop> runLoopFromCF(CFRunLoopRef runLoop);
// The mode name of a CFRunLoopMode; kCFRunLoopDefaultMode for null.
std::string runLoopModeName(CFStringRef mode);

} // namespace platform
