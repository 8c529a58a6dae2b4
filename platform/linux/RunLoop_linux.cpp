#include "RunLoop.h"

#include "ErrorText.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <unordered_map>

namespace platform
{

namespace
{
// The epoll data of the wake-up eventfd; sources have ids from 1.
constexpr uint64_t wakeId = 0;

struct Source
{
    int fd; // our own duplicate, so the owner may close its descriptor at any time
    std::shared_ptr<RunLoop::FdCallback> callback;
};
} // namespace

// An epoll set of the sources plus an eventfd that signals posted work. The eventfd is written
// and drained only under `mutex`, together with the queue, so it is readable exactly while work
// is waiting: a descriptor left readable would make JuceRunLoopBridge spin.
struct RunLoop::Impl
{
    void runPostedWork();

    std::mutex mutex;
    int epollFd = -1;
    int wakeFd = -1;
    std::deque<std::function<void()>> work;
    std::unordered_map<uint64_t, Source> sources;
    uint64_t nextId = 1;
};

RunLoop::RunLoop() : m_impl(std::make_unique<Impl>())
{
    m_impl->epollFd = epoll_create1(EPOLL_CLOEXEC);
    m_impl->wakeFd = m_impl->epollFd < 0 ? -1 : eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = wakeId;
    if (m_impl->wakeFd >= 0 && epoll_ctl(m_impl->epollFd, EPOLL_CTL_ADD, m_impl->wakeFd, &event) == 0)
        return;
    std::fprintf(stderr, "RunLoop: cannot create its descriptors: %s\n", errorText(errno).c_str());
    for (int* fd : { &m_impl->epollFd, &m_impl->wakeFd })
        if (*fd >= 0)
            close(*fd);
    m_impl->epollFd = m_impl->wakeFd = -1;
}

RunLoop::~RunLoop()
{
    for (auto& entry : m_impl->sources)
        close(entry.second.fd);
    if (m_impl->epollFd >= 0)
    {
        close(m_impl->epollFd);
        close(m_impl->wakeFd);
    }
}

std::shared_ptr<RunLoop> RunLoop::current()
{
    thread_local std::shared_ptr<RunLoop> loop = std::make_shared<RunLoop>();
    return loop;
}

uint64_t RunLoop::addFdSource(int fd, FdCallback callback)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    const uint64_t id = m_impl->nextId++;
    const int ownFd = m_impl->epollFd < 0 ? -1 : fcntl(fd, F_DUPFD_CLOEXEC, 3);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = id;
    if (ownFd < 0 || epoll_ctl(m_impl->epollFd, EPOLL_CTL_ADD, ownFd, &event) != 0)
    {
        const int error = m_impl->epollFd < 0 ? EBADF : errno;
        std::fprintf(stderr, "RunLoop: cannot watch descriptor %d: %s\n", fd, errorText(error).c_str());
        if (ownFd >= 0)
            close(ownFd);
        return 0;
    }
    m_impl->sources[id] = Source{ ownFd, std::make_shared<FdCallback>(std::move(callback)) };
    return id;
}

void RunLoop::removeSource(uint64_t sourceId)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    auto found = m_impl->sources.find(sourceId);
    if (found == m_impl->sources.end())
        return;
    epoll_ctl(m_impl->epollFd, EPOLL_CTL_DEL, found->second.fd, nullptr);
    close(found->second.fd);
    m_impl->sources.erase(found);
}

void RunLoop::perform(std::function<void()> work)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->work.push_back(std::move(work));
    const uint64_t one = 1;
    [[maybe_unused]] auto written = write(m_impl->wakeFd, &one, sizeof one);
}

int RunLoop::fd() const { return m_impl->epollFd; }

void RunLoop::Impl::runPostedWork()
{
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> lock(mutex);
        uint64_t count = 0;
        [[maybe_unused]] auto got = ::read(wakeFd, &count, sizeof count);
        batch.swap(work);
    }
    for (auto& each : batch)
        each();
}

void RunLoop::runOnce(double maxWaitSeconds)
{
    if (m_impl->epollFd < 0)
    {
        m_impl->runPostedWork(); // nothing can wait or be watched, but posted work still runs
        return;
    }
    // Round up, so that a wait of less than a millisecond does not spin.
    const int timeoutMs = maxWaitSeconds <= 0 ? 0 : (int)std::ceil(std::min(maxWaitSeconds, 1000.0) * 1000);
    epoll_event events[16];
    const int count = epoll_wait(m_impl->epollFd, events, 16, timeoutMs);
    for (int i = 0; i < count; ++i)
    {
        // epoll_event is packed: its id is copied out rather than bound to a reference, which would
        // be misaligned.
        const uint64_t id = events[i].data.u64;
        if (id == wakeId)
        {
            m_impl->runPostedWork();
            continue;
        }
        std::shared_ptr<FdCallback> callback;
        {
            std::lock_guard<std::mutex> lock(m_impl->mutex);
            auto found = m_impl->sources.find(id);
            if (found != m_impl->sources.end())
                callback = found->second.callback;
        }
        if (callback != nullptr)
            (*callback)(events[i].events);
    }
}

} // namespace platform
