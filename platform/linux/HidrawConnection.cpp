#include "HidrawConnection.h"

#include "ErrorText.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform
{

namespace
{
// Two programs' reports would interleave in the device's firmware: whoever opens the node first
// keeps it. Never waits for the lock.
bool lock(int fd)
{
    int result;
    do
        result = flock(fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    return result == 0;
}
} // namespace

std::shared_ptr<HidrawConnection> HidrawConnection::open(const std::string& path, HidOpenError& error)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    const int cancelFd = fd < 0 || !lock(fd) ? -1 : eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (cancelFd >= 0)
        return std::make_shared<HidrawConnection>(fd, cancelFd);
    error.inUse = fd >= 0 && errno == EWOULDBLOCK;
    error.reason = error.inUse ? "in use by another program" : errorText(errno); // may run on a sending thread
    if (fd >= 0)
        close(fd);
    return nullptr;
}

HidrawConnection::HidrawConnection(int fd, int cancelFd) : m_fd(fd), m_cancelFd(cancelFd) {}

HidrawConnection::~HidrawConnection()
{
    close(m_fd);
    close(m_cancelFd);
}

HidConnection::ReadResult HidrawConnection::read(std::vector<uint8_t>& report)
{
    uint8_t buffer[16384]; // the largest report the kernel passes on
    for (;;)
    {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got > 0)
        {
            report.assign(buffer, buffer + got);
            return ReadResult::report;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno == EAGAIN)
            return ReadResult::nothingYet;
        return ReadResult::gone; // ENODEV, EIO, or end of file
    }
}

// hidraw takes one whole report per write() and returns once it is sent: a short count means the
// report did not go out, and writing the rest would send it as a second, corrupt report. The node
// is non-blocking for reads, so a full queue (possible only with emulated nodes) is waited out
// for up to a second.
HidConnection::WriteResult HidrawConnection::write(const uint8_t* bytes, size_t length)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (;;)
    {
        const ssize_t written = ::write(m_fd, bytes, length);
        if (written == (ssize_t)length)
            return WriteResult::written;
        const int error = written < 0 ? errno : 0;
        if (error == EINTR)
            continue;
        if (error == EAGAIN && waitUntilWritable(deadline))
            continue;
        if (cancelled() || error == ENODEV || error == ENXIO || error == ESHUTDOWN)
            return WriteResult::gone;
        return WriteResult::failed;
    }
}

void HidrawConnection::cancel()
{
    const uint64_t one = 1;
    [[maybe_unused]] auto done = ::write(m_cancelFd, &one, sizeof one);
}

bool HidrawConnection::cancelled() const
{
    pollfd check{ m_cancelFd, POLLIN, 0 };
    return poll(&check, 1, 0) == 1;
}

// A signal that interrupts the wait is not a failure: the wait goes on until the deadline.
bool HidrawConnection::waitUntilWritable(std::chrono::steady_clock::time_point deadline) const
{
    for (;;)
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return false;
        pollfd ready[] = { { m_fd, POLLOUT, 0 }, { m_cancelFd, POLLIN, 0 } };
        const int count = poll(ready, 2, (int)left);
        if (count < 0 && errno == EINTR)
            continue;
        return count > 0 && ready[1].revents == 0 && (ready[0].revents & POLLOUT) != 0;
    }
}

} // namespace platform
