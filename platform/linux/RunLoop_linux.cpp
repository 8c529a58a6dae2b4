#include "RunLoop.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <unordered_map>

namespace platform
{

namespace
{
// The epoll data of a mode's wake-up eventfd; sources have ids from 1.
constexpr uint64_t wakeId = 0;

// One mode: an epoll set of its sources plus an eventfd that signals posted work or a wake-up.
struct Mode
{
    Mode()
    {
        epollFd = epoll_create1(EPOLL_CLOEXEC);
        wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = wakeId;
        if (epollFd < 0 || wakeFd < 0 || epoll_ctl(epollFd, EPOLL_CTL_ADD, wakeFd, &event) != 0)
            std::fprintf(stderr, "RunLoop: cannot create its descriptors: %s\n", std::strerror(errno));
    }
    ~Mode()
    {
        close(epollFd);
        close(wakeFd);
    }

    void signal() const
    {
        const uint64_t one = 1;
        [[maybe_unused]] auto written = write(wakeFd, &one, sizeof one);
    }

    int epollFd = -1;
    int wakeFd = -1;
    int sourceCount = 0;
    std::deque<std::function<void()>> work;
};

struct Source
{
    std::string mode;
    int fd; // our own duplicate, so the owner may close its descriptor at any time
    std::shared_ptr<RunLoop::FdCallback> callback;
};
} // namespace

struct RunLoop::Impl
{
    Mode& modeLocked(const std::string& name)
    {
        auto& mode = modes[name];
        if (mode == nullptr)
            mode = std::make_unique<Mode>();
        return *mode;
    }

    // Serves one batch of ready events; true when a source ran or work was done.
    bool dispatch(Mode& mode, const epoll_event* events, int count);
    bool runPostedWork(Mode& mode);

    std::mutex mutex;
    std::map<std::string, std::unique_ptr<Mode>> modes;
    std::unordered_map<uint64_t, Source> sources;
    uint64_t nextId = 1;
    std::atomic<bool> stopRequested{ false };
};

RunLoop::RunLoop() : m_impl(std::make_unique<Impl>()) {}

RunLoop::~RunLoop()
{
    for (auto& entry : m_impl->sources)
        close(entry.second.fd);
}

std::shared_ptr<RunLoop> RunLoop::current()
{
    thread_local std::shared_ptr<RunLoop> loop = std::make_shared<RunLoop>();
    return loop;
}

uint64_t RunLoop::addFdSource(const std::string& modeName, int fd, FdCallback callback)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    Mode& mode = m_impl->modeLocked(modeName);
    const uint64_t id = m_impl->nextId++;
    const int ownFd = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = id;
    if (ownFd < 0 || epoll_ctl(mode.epollFd, EPOLL_CTL_ADD, ownFd, &event) != 0)
        std::fprintf(stderr, "RunLoop: cannot watch descriptor %d: %s\n", fd, std::strerror(errno));
    m_impl->sources[id] = Source{ modeName, ownFd, std::make_shared<FdCallback>(std::move(callback)) };
    ++mode.sourceCount;
    return id;
}

void RunLoop::removeSource(uint64_t sourceId)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    auto found = m_impl->sources.find(sourceId);
    if (found == m_impl->sources.end())
        return;
    Mode& mode = m_impl->modeLocked(found->second.mode);
    if (found->second.fd >= 0)
    {
        epoll_ctl(mode.epollFd, EPOLL_CTL_DEL, found->second.fd, nullptr);
        close(found->second.fd);
    }
    --mode.sourceCount;
    m_impl->sources.erase(found);
}

void RunLoop::perform(const std::string& modeName, std::function<void()> work)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    Mode& mode = m_impl->modeLocked(modeName);
    mode.work.push_back(std::move(work));
    mode.signal();
}

int RunLoop::modeFd(const std::string& modeName)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->modeLocked(modeName).epollFd;
}

bool RunLoop::Impl::runPostedWork(Mode& mode)
{
    uint64_t count = 0;
    [[maybe_unused]] auto got = ::read(mode.wakeFd, &count, sizeof count);
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> lock(mutex);
        batch.swap(mode.work);
    }
    for (auto& work : batch)
        work();
    return !batch.empty();
}

bool RunLoop::Impl::dispatch(Mode& mode, const epoll_event* events, int count)
{
    bool handled = false;
    for (int i = 0; i < count; ++i)
    {
        if (events[i].data.u64 == wakeId)
        {
            handled = runPostedWork(mode) || handled;
            continue;
        }
        std::shared_ptr<FdCallback> callback;
        {
            std::lock_guard<std::mutex> lock(mutex);
            auto found = sources.find(events[i].data.u64);
            if (found != sources.end())
                callback = found->second.callback;
        }
        if (callback != nullptr)
        {
            (*callback)(events[i].events);
            handled = true;
        }
    }
    return handled;
}

SInt32 RunLoop::run(const std::string& modeName, double seconds, bool returnAfterSourceHandled)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(std::max(0.0, seconds)));
    Mode* mode = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_impl->mutex);
        mode = &m_impl->modeLocked(modeName); // modes are never removed, so the pointer stays valid
    }

    for (;;)
    {
        if (m_impl->stopRequested.exchange(false))
            return kCFRunLoopRunStopped;
        {
            std::lock_guard<std::mutex> lock(m_impl->mutex);
            if (mode->sourceCount == 0 && mode->work.empty())
                return kCFRunLoopRunFinished;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        // Round up, so that a wait of less than a millisecond does not spin.
        const int timeoutMs = left <= 0 ? 0 : (int)std::min<long long>(left + 1, 1000 * 1000);
        epoll_event events[16];
        const int count = epoll_wait(mode->epollFd, events, 16, timeoutMs);
        if (count < 0 && errno != EINTR)
            return kCFRunLoopRunFinished;
        const bool handled = count > 0 && m_impl->dispatch(*mode, events, count);
        if (m_impl->stopRequested.exchange(false))
            return kCFRunLoopRunStopped;
        if (handled && returnAfterSourceHandled)
            return kCFRunLoopRunHandledSource;
        if (Clock::now() >= deadline)
            return kCFRunLoopRunTimedOut;
    }
}

void RunLoop::stop()
{
    m_impl->stopRequested = true;
    wakeUp();
}

void RunLoop::wakeUp()
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    for (auto& mode : m_impl->modes)
        mode.second->signal();
}

} // namespace platform
