#pragma once

// The run loop behind CFRunLoopRef: one per thread, serving file-descriptor sources and work
// posted from other threads. It has one pollable descriptor, readable whenever something is
// ready, so another event loop can serve the run loop by watching it (see JuceRunLoopBridge).
//
// Threading: addFdSource, removeSource and perform may be called from any thread; runOnce only on
// the thread that owns the loop, where every callback and posted work runs. A source removed
// while a pass is dispatching is not called again.
// Ownership: current() hands out shared ownership; whatever is scheduled on a loop keeps it.

#include "CoreFoundation.h"

#include <cstdint>
#include <functional>
#include <memory>

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

    // Calls `callback` with the poll events (POLLIN, POLLERR, POLLHUP) while `fd` is ready. The
    // callback must consume what made the fd ready, or remove the source. Returns the source's
    // id, or 0 (with a message on stderr) when the descriptor cannot be watched.
    uint64_t addFdSource(int fd, FdCallback callback);
    void removeSource(uint64_t sourceId);
    // Runs `work` once, on the loop's thread, at its next pass.
    void perform(std::function<void()> work);

    // Readable whenever a source or posted work is ready; -1 when the loop could not be set up.
    int fd() const;
    // One pass: waits up to `maxWaitSeconds` for something to be ready, then serves what is.
    void runOnce(double maxWaitSeconds);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// The RunLoop behind a CFRunLoopRef (null for null).
std::shared_ptr<RunLoop> runLoopFromCF(CFRunLoopRef runLoop);

} // namespace platform
