#include "TempFolder.h"

#include <platform/SingleInstance.h>

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace
{

const juce::String kName = "Qel720UpdateProgram";
const char* const kInstanceUntilKilled = "--instance-until-killed"; // the helper mode of this binary

// Sets, or with nullptr unsets, an environment variable for the life of the object.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* name, const char* value) : m_name(name), m_had(std::getenv(name) != nullptr)
    {
        if (m_had)
            m_old = std::getenv(name);
        value != nullptr ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnvironment() { m_had ? setenv(m_name, m_old.c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    bool m_had;
    std::string m_old;
};

std::string path(const juce::File& file) { return file.getFullPathName().toStdString(); }
std::string instanceFile(const juce::File& folder, const char* suffix)
{
    return path(folder.getChildFile(kName + suffix));
}

// An exclusive flock on a file, as a running instance holds it.
class HeldLock
{
public:
    explicit HeldLock(const std::string& file) : m_fd(open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        m_held = m_fd >= 0 && flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    }
    ~HeldLock()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool held() const { return m_held; }

private:
    int m_fd;
    bool m_held = false;
};

// Threads a test starts, joined when the object goes.
class JoinedThreads
{
public:
    ~JoinedThreads()
    {
        for (auto& thread : m_threads)
            thread.join();
    }
    template <typename Function>
    void start(Function&& function)
    {
        m_threads.emplace_back(std::forward<Function>(function));
    }

private:
    std::vector<std::thread> m_threads;
};

// A later launch, on a thread that stands in for its own process.
void launch(const juce::String& commandLine, bool& becamePrimary)
{
    platform::SingleInstance instance(kName);
    becamePrimary = instance.claim(commandLine);
}

// What reaches the callback, in order of arrival.
class Deliveries
{
public:
    std::function<void(const juce::String&)> callback()
    {
        return [this](const juce::String& commandLine)
        {
            auto& manager = *juce::MessageManager::getInstance();
            // Shortened, so that a failure with a huge message stays readable.
            received.push_back(commandLine.length() > 100
                                   ? "a command line of " + std::to_string(commandLine.length()) + " characters"
                                   : commandLine.toStdString());
            onMessageThread = onMessageThread && manager.isThisTheMessageThread();
            if (received.size() == m_expected)
                manager.stopDispatchLoop();
        };
    }

    // Runs JUCE's message loop until `count` command lines have arrived, or for a bound that only a
    // lost hand-over reaches.
    void runMessageLoopUntil(size_t count)
    {
        m_expected = count;
        std::mutex mutex;
        std::condition_variable ended;
        bool loopEnded = false;
        std::thread watchdog(
            [&]
            {
                std::unique_lock<std::mutex> lock(mutex);
                if (!ended.wait_for(lock, std::chrono::seconds(15), [&] { return loopEnded; }))
                    juce::MessageManager::getInstance()->stopDispatchLoop();
            });
        juce::MessageManager::getInstance()->runDispatchLoop();
        {
            std::lock_guard<std::mutex> lock(mutex);
            loopEnded = true;
        }
        ended.notify_one();
        watchdog.join();
    }

    std::vector<std::string> received;
    bool onMessageThread = true;

private:
    size_t m_expected = 0;
};

// A blocking connection to the instance socket, as any process of this user can make; -1 if refused.
int connectTo(const std::string& socketPath)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), std::min(socketPath.size() + 1, sizeof address.sun_path));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

// Sends until all is sent or the other side has closed.
void sendAll(int fd, const std::string& bytes)
{
    for (size_t sent = 0; sent < bytes.size();)
    {
        const ssize_t count = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count > 0)
            sent += static_cast<size_t>(count);
        else if (count < 0 && errno != EINTR)
            return;
    }
}

// False when nothing came within a bound that only a lost launch reaches.
bool waitUntilReadable(int fd)
{
    pollfd watched{ fd, POLLIN, 0 };
    int ready;
    do
        ready = poll(&watched, 1, 15000);
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

// Reads until the peer has closed its side. False on a failure or when it never did.
bool readToTheEnd(int fd)
{
    char buffer[4096];
    for (;;)
    {
        if (fd < 0 || !waitUntilReadable(fd))
            return false;
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count == 0)
            return true;
        if (count < 0 && errno != EINTR)
            return false;
    }
}

// A listening socket at the instance socket's place, as a running instance has; -1 on failure.
int listenAt(const std::string& socketPath)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), std::min(socketPath.size() + 1, sizeof address.sun_path));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 && listen(fd, 4) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

// The helper mode: claims, says whether it did on stdout, and waits to be killed.
int runInstanceUntilKilled()
{
    platform::SingleInstance instance(kName);
    const char claimed = instance.claim("--until-killed") ? '1' : '0';
    if (write(STDOUT_FILENO, &claimed, 1) != 1)
        return 1;
    for (;;)
        pause();
}

// Runs this binary's helper mode, kills it with SIGKILL once it has claimed and reaps it. True when it
// had claimed and died of the signal.
bool runInstanceAndKillIt()
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::string self = "/proc/self/exe", mode = kInstanceUntilKilled;
    char* argv[] = { self.data(), mode.data(), nullptr };
    pid_t pid = -1;
    const bool spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    char claimed = 0;
    ssize_t count = 0;
    do
        count = spawned ? read(pipeFds[0], &claimed, 1) : 0;
    while (count < 0 && errno == EINTR);
    close(pipeFds[0]);
    if (!spawned)
        return false;
    kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR)
    {
    }
    return claimed == '1' && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

TEST(SingleInstance, LaterLaunchHandsItsCommandLineToTheRunningOneOnTheMessageThread)
{
    TempFolder runtime;
    ScopedEnvironment xdg("XDG_RUNTIME_DIR", path(runtime.file()).c_str());
    juce::ScopedJuceInitialiser_GUI juce;
    Deliveries deliveries;
    const auto commandLine = juce::String::fromUTF8("--open \"a b\" \xc3\xa9t\xc3\xa9");
    bool laterBecamePrimary = true;
    {
        JoinedThreads threads;
        platform::SingleInstance running(kName);
        ASSERT_TRUE(running.claim("--first"));
        running.startListening(deliveries.callback());
        threads.start([&] { launch(commandLine, laterBecamePrimary); });
        deliveries.runMessageLoopUntil(1);
    }
    EXPECT_FALSE(laterBecamePrimary);
    EXPECT_EQ(deliveries.received, std::vector<std::string>{ commandLine.toStdString() });
    EXPECT_TRUE(deliveries.onMessageThread);
}

// A holder of the lock that does not answer (still starting, or stuck) still counts: no second window.
TEST(SingleInstance, LaterLaunchEndsWhenTheLockHolderCannotBeReached)
{
    TempFolder runtime;
    ScopedEnvironment xdg("XDG_RUNTIME_DIR", path(runtime.file()).c_str());
    HeldLock holder(instanceFile(runtime.file(), ".lock"));
    ASSERT_TRUE(holder.held());
    platform::SingleInstance later(kName);
    EXPECT_FALSE(later.claim("--second"));
}

// The running instance took the connection but was ending: it let the lock go and closed without an
// answer. The later launch must then become the instance rather than end with none left.
TEST(SingleInstance, LaterLaunchTakesOverFromAnInstanceThatEndsWithoutAnswering)
{
    TempFolder runtime;
    ScopedEnvironment xdg("XDG_RUNTIME_DIR", path(runtime.file()).c_str());
    bool laterBecamePrimary = false;
    bool messageRead = false;
    {
        auto ending = std::make_unique<HeldLock>(instanceFile(runtime.file(), ".lock"));
        const int listener = listenAt(instanceFile(runtime.file(), ".socket"));
        JoinedThreads threads;
        threads.start([&] { launch("--second", laterBecamePrimary); });
        const int connection = waitUntilReadable(listener) ? accept(listener, nullptr, nullptr) : -1;
        messageRead = readToTheEnd(connection);
        ending.reset();
        close(connection);
        close(listener);
    }
    EXPECT_TRUE(messageRead);
    EXPECT_TRUE(laterBecamePrimary);
}

TEST(SingleInstance, CrashedInstanceLeavesNothingThatBlocksTheNext)
{
    TempFolder runtime;
    ScopedEnvironment xdg("XDG_RUNTIME_DIR", path(runtime.file()).c_str());
    ASSERT_TRUE(runInstanceAndKillIt());
    ASSERT_TRUE(juce::File(instanceFile(runtime.file(), ".socket")).exists()); // what the crash left behind
    juce::ScopedJuceInitialiser_GUI juce;
    Deliveries deliveries;
    bool laterBecamePrimary = true;
    {
        JoinedThreads threads;
        platform::SingleInstance next(kName);
        ASSERT_TRUE(next.claim("--next"));
        next.startListening(deliveries.callback());
        threads.start([&] { launch("--after-the-crash", laterBecamePrimary); });
        deliveries.runMessageLoopUntil(1);
    }
    EXPECT_FALSE(laterBecamePrimary);
    EXPECT_EQ(deliveries.received, std::vector<std::string>{ "--after-the-crash" });
}

// Whatever a process of this user can do to the socket; a real hand-over must still get through.
TEST(SingleInstance, StrangersOnTheSocketNeitherCrashNorBlockTheRunningInstance)
{
    TempFolder runtime;
    ScopedEnvironment xdg("XDG_RUNTIME_DIR", path(runtime.file()).c_str());
    const auto socketPath = instanceFile(runtime.file(), ".socket");
    const std::string nameLine = kName.toStdString() + "\n";
    // Sent and closed before the running instance first looks. Only the last is a hand-over, and
    // answering it after its sender has gone must not raise SIGPIPE.
    const std::vector<std::string> closedAfterSending = {
        "",
        std::string("\0\x01\xff GET / HTTP/1.0\r\n\r\n", 22),
        "SomeOtherProgram\n--open",
        nameLine + "\xff\xfe--open",
        nameLine + "--gone-before-the-answer",
    };
    juce::ScopedJuceInitialiser_GUI juce;
    Deliveries deliveries;
    std::vector<int> silent; // connect and never send; closed at the end
    bool laterBecamePrimary = true;
    {
        JoinedThreads threads; // joined after `running` has gone, which ends any send or connect they block in
        platform::SingleInstance running(kName);
        ASSERT_TRUE(running.claim("--first"));
        running.startListening(deliveries.callback());
        for (const auto& bytes : closedAfterSending)
        {
            const int fd = connectTo(socketPath);
            sendAll(fd, bytes);
            close(fd);
        }
        threads.start(
            [&]
            {
                const int huge = connectTo(socketPath);
                sendAll(huge, nameLine + std::string(4 << 20, 'x'));
                close(huge);
                for (int i = 0; i < 40; ++i) // more than are served at once
                    if (const int fd = connectTo(socketPath); fd >= 0)
                        silent.push_back(fd);
                launch("--real", laterBecamePrimary);
            });
        deliveries.runMessageLoopUntil(2);
    }
    for (const int fd : silent)
        close(fd);
    EXPECT_FALSE(laterBecamePrimary);
    auto received = deliveries.received;
    std::sort(received.begin(), received.end());
    EXPECT_EQ(received, (std::vector<std::string>{ "--gone-before-the-answer", "--real" }));
}

// Each row puts a held lock where an untrusted folder would have the instance look for it: it must
// not count. "Served" rows also expect the fallback folder to be a private one of ours afterwards.
TEST(SingleInstance, UntrustedFolderIsNotUsed)
{
    struct Places
    {
        juce::File runtime, fallback, elsewhere;
    };
    struct Row
    {
        const char* what;
        bool runtimeSet;
        bool needsRoot;                      // to give a folder to another user
        std::string (*plant)(const Places&); // returns the lock file to hold
        bool served;
    };
    const Row rows[] = {
        { "runtime folder others may enter", true, false,
          [](const Places& at)
          {
              at.runtime.createDirectory();
              chmod(path(at.runtime).c_str(), 0755);
              return instanceFile(at.runtime, ".lock");
          },
          true },
        { "fallback folder others may write to", false, false,
          [](const Places& at)
          {
              at.fallback.createDirectory();
              chmod(path(at.fallback).c_str(), 0777);
              return instanceFile(at.fallback, ".lock");
          },
          true },
        { "fallback that is a link to a private folder", false, false,
          [](const Places& at)
          {
              at.elsewhere.createDirectory();
              chmod(path(at.elsewhere).c_str(), 0700);
              symlink(path(at.elsewhere).c_str(), path(at.fallback).c_str());
              return instanceFile(at.elsewhere, ".lock");
          },
          true },
        { "fallback folder of another user", false, true,
          [](const Places& at)
          {
              at.fallback.createDirectory();
              chmod(path(at.fallback).c_str(), 0700);
              const auto lock = instanceFile(at.fallback, ".lock");
              close(open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
              [[maybe_unused]] const int given = chown(path(at.fallback).c_str(), 65534, 65534);
              return lock;
          },
          false },
    };
    for (const auto& row : rows)
    {
        if (row.needsRoot && geteuid() != 0)
            continue; // only root can give a folder away
        TempFolder root;
        const auto tmp = root.child("tmp");
        tmp.createDirectory();
        const Places at{ root.child("runtime"), tmp.getChildFile(kName + "-" + juce::String(geteuid())),
                         root.child("elsewhere") };
        const auto lock = row.plant(at);
        bool claimed = false;
        {
            ScopedEnvironment xdg("XDG_RUNTIME_DIR", row.runtimeSet ? path(at.runtime).c_str() : nullptr);
            ScopedEnvironment temporary("TMPDIR", path(tmp).c_str());
            HeldLock planted(lock);
            ASSERT_TRUE(planted.held()) << row.what;
            platform::SingleInstance instance(kName);
            claimed = instance.claim("--first");
        }
        struct stat status;
        const bool privateFallback = lstat(path(at.fallback).c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
                                     status.st_uid == geteuid() && (status.st_mode & 0777) == 0700;
        EXPECT_TRUE(claimed) << row.what;
        EXPECT_EQ(privateFallback, row.served) << row.what;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], kInstanceUntilKilled) == 0)
        return runInstanceUntilKilled();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
