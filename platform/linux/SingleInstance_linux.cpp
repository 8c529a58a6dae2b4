#include <platform/SingleInstance.h>

#include "InstanceFiles.h"

#include <juce_events/juce_events.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

namespace platform
{
namespace
{

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxMessage = 64 * 1024; // the name line and the command line together
constexpr size_t kMaxConnections = 8;
constexpr int kBacklog = 16;
constexpr auto kHandOverTime = std::chrono::seconds(2); // all of a later launch's attempts
constexpr auto kRetryPause = std::chrono::milliseconds(50);
constexpr auto kConnectionTime = std::chrono::seconds(3); // for a peer to send everything and close
constexpr char kAcknowledgement = '\x06';

void report(const char* what) { std::fprintf(stderr, "SingleInstance: %s: %s\n", what, std::strerror(errno)); }

sockaddr_un addressOf(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1); // findInstanceFiles checked the length
    return address;
}

int millisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<decltype(left)>(left, 0));
}

// False when the deadline passed first.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    pollfd watched{ fd, events, 0 };
    int ready;
    do
        ready = poll(&watched, 1, millisecondsUntil(deadline));
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

std::string messageFor(const juce::String& name, const juce::String& commandLine)
{
    std::string message = name.toStdString() + '\n' + commandLine.toStdString();
    if (message.size() > kMaxMessage)
    {
        // Cut before the character the limit falls in, so that the rest stays valid UTF-8.
        size_t end = kMaxMessage;
        while (end > 0 && (static_cast<unsigned char>(message[end]) & 0xC0) == 0x80)
            --end;
        message.resize(end);
    }
    return message;
}

enum class HandOver
{
    Acknowledged,
    Refused, // nobody listens, or the listener closed without taking the message (it is ending)
    OutOfTime
};

HandOver handOver(const std::string& socketPath, const std::string& message, Clock::time_point deadline)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return HandOver::Refused;
    const auto outcome = [&]
    {
        const auto address = addressOf(socketPath);
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            return HandOver::Refused;
        for (size_t sent = 0; sent < message.size();)
        {
            const ssize_t count = send(fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
            if (count >= 0)
                sent += static_cast<size_t>(count);
            else if (errno == EAGAIN)
            {
                if (!waitFor(fd, POLLOUT, deadline))
                    return HandOver::OutOfTime;
            }
            else if (errno != EINTR)
                return HandOver::Refused;
        }
        shutdown(fd, SHUT_WR);
        for (;;)
        {
            if (!waitFor(fd, POLLIN, deadline))
                return HandOver::OutOfTime;
            char reply = 0;
            const ssize_t count = read(fd, &reply, 1);
            if (count < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            return count == 1 && reply == kAcknowledgement ? HandOver::Acknowledged : HandOver::Refused;
        }
    }();
    close(fd);
    return outcome;
}

bool isFromThisUser(int fd)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == geteuid();
}

} // namespace

SingleInstance::SingleInstance(const juce::String& applicationName) : m_name(applicationName) {}

SingleInstance::~SingleInstance()
{
    if (m_serving)
    {
        jassert(juce::MessageManager::getInstanceWithoutCreating() == nullptr ||
                juce::MessageManager::existsAndIsCurrentThread());
        for (const auto& connection : m_connections)
        {
            juce::LinuxEventLoop::unregisterFdCallback(connection.fd);
            close(connection.fd);
        }
        juce::LinuxEventLoop::unregisterFdCallback(m_listenFd);
        if (m_timerFd >= 0)
        {
            juce::LinuxEventLoop::unregisterFdCallback(m_timerFd);
            close(m_timerFd);
        }
    }
    if (m_listenFd >= 0)
    {
        struct stat status;
        if (stat(m_socketPath.c_str(), &status) == 0 && status.st_dev == m_socketDevice &&
            status.st_ino == m_socketInode)
            unlink(m_socketPath.c_str());
        close(m_listenFd);
    }
    // Last: a successor takes over only once our socket file is gone.
    if (m_lockFd >= 0)
        close(m_lockFd);
}

bool SingleInstance::claim(const juce::String& commandLine)
{
    jassert(m_lockFd < 0);
    const auto files = findInstanceFiles(m_name.toStdString());
    if (!files)
        return true;
    m_socketPath = files->socket;
    const int lockFd = files->lockFd;

    const auto message = messageFor(m_name, commandLine);
    const auto deadline = Clock::now() + kHandOverTime;
    for (;;)
    {
        if (flock(lockFd, LOCK_EX | LOCK_NB) == 0)
        {
            m_lockFd = lockFd;
            openSocket();
            return true;
        }
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
        {
            report("cannot take the lock; running as the only instance");
            close(lockFd);
            return true;
        }
        // The holder may be starting and not listen yet, or ending: then the lock comes free.
        if (handOver(m_socketPath, message, deadline) != HandOver::Refused || Clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::min<Clock::duration>(kRetryPause, deadline - Clock::now()));
    }
    close(lockFd);
    return false;
}

void SingleInstance::openSocket()
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
    {
        report("cannot make the socket for later launches");
        return;
    }
    // A socket file here is a crashed holder's: we hold the lock, so no live instance uses it.
    unlink(m_socketPath.c_str());
    const auto address = addressOf(m_socketPath);
    struct stat status;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd, kBacklog) != 0 ||
        stat(m_socketPath.c_str(), &status) != 0)
    {
        report("cannot listen for later launches");
        close(fd);
        return;
    }
    m_listenFd = fd;
    m_socketDevice = status.st_dev;
    m_socketInode = status.st_ino;
}

void SingleInstance::startListening(std::function<void(const juce::String&)> onAnotherInstance)
{
    JUCE_ASSERT_MESSAGE_THREAD
    if (m_listenFd < 0 || m_serving)
        return;
    m_onAnotherInstance = std::make_shared<std::function<void(const juce::String&)>>(std::move(onAnotherInstance));
    m_timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_timerFd < 0)
        report("cannot time out slow connections"); // the oldest still gives way to a new one
    else
        juce::LinuxEventLoop::registerFdCallback(m_timerFd, [this](int) { dropLateConnections(); });
    juce::LinuxEventLoop::registerFdCallback(m_listenFd, [this](int) { acceptConnections(); });
    m_serving = true;
}

void SingleInstance::acceptConnections()
{
    // A bounded batch per wake-up, so that a flood cannot hold the message thread.
    for (size_t i = 0; i < kMaxConnections; ++i)
    {
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            break;
        if (!isFromThisUser(fd))
        {
            close(fd);
            continue;
        }
        if (m_connections.size() >= kMaxConnections)
            drop(m_connections.front().fd);
        m_connections.push_back({ fd, {}, Clock::now() + kConnectionTime });
        juce::LinuxEventLoop::registerFdCallback(fd,
                                                 [this](int ready)
                                                 {
                                                     receive(ready);
                                                     armTimer();
                                                 });
        receive(fd); // a launch has usually sent everything by now
    }
    armTimer();
}

void SingleInstance::receive(int fd)
{
    const auto connection = findConnection(fd);
    if (connection == m_connections.end())
        return; // dropped earlier in the same round of the event loop
    char buffer[4096];
    for (;;)
    {
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count > 0 && connection->received.size() + static_cast<size_t>(count) <= kMaxMessage)
        {
            connection->received.append(buffer, static_cast<size_t>(count));
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (count == 0)
            finish(*connection);
        drop(fd); // complete, too large or failed
        return;
    }
}

void SingleInstance::finish(const Connection& connection)
{
    const std::string prefix = m_name.toStdString() + '\n';
    const std::string& received = connection.received;
    if (received.compare(0, prefix.size(), prefix) != 0)
        return;
    const char* text = received.data() + prefix.size();
    const int length = static_cast<int>(received.size() - prefix.size());
    if (!juce::CharPointer_UTF8::isValidString(text, length))
        return;
    // Posted rather than called: the application's code never runs inside our handlers.
    juce::MessageManager::callAsync(
        [target = std::weak_ptr(m_onAnotherInstance), commandLine = juce::String::fromUTF8(text, length)]
        {
            if (const auto callback = target.lock())
                (*callback)(commandLine);
        });
    // The peer may have given up waiting: no SIGPIPE for that.
    [[maybe_unused]] const auto sent = send(connection.fd, &kAcknowledgement, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
}

void SingleInstance::drop(int fd)
{
    const auto connection = findConnection(fd);
    if (connection == m_connections.end())
        return;
    juce::LinuxEventLoop::unregisterFdCallback(fd);
    close(fd);
    m_connections.erase(connection);
}

void SingleInstance::dropLateConnections()
{
    std::uint64_t expirations = 0;
    [[maybe_unused]] const auto count = read(m_timerFd, &expirations, sizeof expirations);
    const auto now = Clock::now();
    while (!m_connections.empty() && m_connections.front().deadline <= now)
        drop(m_connections.front().fd);
    armTimer();
}

void SingleInstance::armTimer()
{
    if (m_timerFd < 0)
        return;
    itimerspec when{}; // zero disarms it
    if (!m_connections.empty())
    {
        const auto left =
            std::max<Clock::duration>(m_connections.front().deadline - Clock::now(), std::chrono::milliseconds(1));
        const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        when.it_value.tv_sec = static_cast<time_t>(nanoseconds / 1'000'000'000);
        when.it_value.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
    }
    timerfd_settime(m_timerFd, 0, &when, nullptr);
}

std::vector<SingleInstance::Connection>::iterator SingleInstance::findConnection(int fd)
{
    return std::find_if(m_connections.begin(), m_connections.end(),
                        [fd](const Connection& connection) { return connection.fd == fd; });
}

} // namespace platform
