// One instance per user: a later launch hands its command line to the running one, on its message
// thread, past whatever a crash or a stranger left on the socket; a folder others could reach is
// never used.

#include "TempFolder.h"

#include <ScopedThread.h>
#include <platform/SingleInstance.h>

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace juce
{
// JUCE's own step of its message loop (not in its public headers).
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
const juce::String kName = "Qel720UpdateProgram";

std::string path(const juce::File& file) { return file.getFullPathName().toStdString(); }
std::string instanceFile(const juce::File& folder, const char* suffix)
{
    return path(folder.getChildFile(kName + suffix));
}
juce::File makeFolder(const juce::File& folder, mode_t mode = 0700)
{
    folder.createDirectory();
    chmod(path(folder).c_str(), mode);
    return folder;
}

// A socket connected to `socketPath`, or bound there; the caller closes it, whatever the outcome.
int unixSocket(const std::string& socketPath, bool bound)
{
    sockaddr_un address{ AF_UNIX, {} };
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    (bound ? bind : connect)(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return fd;
}

// Whether this process can mount folders, in a mount namespace of its own (private, so that
// nothing mounted shows outside): root only, and not in every container.
bool ownMountNamespace()
{
    static const bool made =
        geteuid() == 0 && unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return made;
}

// The folder read-only from now on, as on a read-only file system, until it is unmounted.
bool mountReadOnly(const juce::File& folder)
{
    const auto at = path(folder);
    return ownMountNamespace() && mount(at.c_str(), at.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           mount(nullptr, at.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

// A launch, as its own process would make it: true when it became the one instance.
bool launch(const juce::String& commandLine) { return platform::SingleInstance(kName).claim(commandLine); }

// Serves JUCE's message loop until `done` holds, or for a bound that only a lost hand-over reaches.
void serveUntil(const std::function<bool()>& done)
{
    const auto deadline = juce::Time::getMillisecondCounter() + 15000;
    while (!done() && juce::Time::getMillisecondCounter() < deadline)
        if (!juce::dispatchNextMessageOnSystemQueue(true))
            juce::Thread::sleep(1);
}

TEST(SingleInstance, LaterLaunchHandsItsCommandLineToTheRunningOneOnItsMessageThread)
{
    const std::string text = "--open \"a b\" \xc3\xa9t\xc3\xa9";
    const struct
    {
        const char* name;
        bool crashLeftovers, strangers;
        std::vector<std::string> expected; // sorted
    } cases[] = {
        { "to the running instance", false, false, { text } },
        { "after a crashed instance's socket file", true, false, { text } },
        { "past strangers on the socket", false, true, { "--gone-before-the-answer", text } },
    };
    juce::ScopedJuceInitialiser_GUI juce;
    for (const auto& c : cases)
    {
        TempFolder runtime;
        setenv("XDG_RUNTIME_DIR", path(runtime.file()).c_str(), 1);
        const auto socketPath = instanceFile(runtime.file(), ".socket");
        if (c.crashLeftovers) // its lock went with it, but its socket file stays, with nobody behind it
            close(unixSocket(socketPath, true));
        std::vector<std::string> received;
        bool onMessageThread = true, laterBecamePrimary = true;
        {
            std::optional<testsupport::ScopedThread> later; // joined once `running` has gone
            platform::SingleInstance running(kName);
            ASSERT_TRUE(running.claim("--first")) << c.name;
            running.startListening(
                [&](const juce::String& commandLine)
                {
                    received.push_back(commandLine.toStdString());
                    onMessageThread = onMessageThread && juce::MessageManager::existsAndIsCurrentThread();
                });
            // Sent and closed before the running instance first looks: only the last is a hand-over,
            // and answering it after its sender has gone must not raise SIGPIPE.
            const std::string nameLine = kName.toStdString() + "\n";
            const std::string strangers[] = { "", std::string("\0\x01\xff GET / HTTP/1.0\r\n\r\n", 22),
                                              "SomeOtherProgram\n--open", nameLine + "\xff\xfe--open",
                                              nameLine + "--gone-before-the-answer" };
            for (size_t i = 0; c.strangers && i < std::size(strangers); ++i)
            {
                const int fd = unixSocket(socketPath, false);
                send(fd, strangers[i].data(), strangers[i].size(), MSG_NOSIGNAL);
                close(fd);
            }
            later.emplace(
                [&]
                {
                    std::vector<int> silent; // more than are served at once, connected and never sending
                    if (c.strangers)
                    {
                        const int huge = unixSocket(socketPath, false);
                        const std::string tooLong = nameLine + std::string(4 << 20, 'x');
                        send(huge, tooLong.data(), tooLong.size(), MSG_NOSIGNAL); // until it is dropped
                        close(huge);
                        silent.resize(40);
                        std::generate(silent.begin(), silent.end(), [&] { return unixSocket(socketPath, false); });
                    }
                    laterBecamePrimary = launch(juce::String::fromUTF8(text.c_str()));
                    std::for_each(silent.begin(), silent.end(), close);
                });
            serveUntil([&] { return received.size() == c.expected.size(); });
        }
        std::sort(received.begin(), received.end());
        EXPECT_FALSE(laterBecamePrimary) << c.name;
        EXPECT_EQ(received, c.expected) << c.name;
        EXPECT_TRUE(onMessageThread) << c.name;
    }
}

// A held lock where an untrusted folder would have the instance look for it must not count; the
// rows with a trusted folder show that it otherwise would. Without a private runtime folder the
// lock lies in the user's cache folder, whatever another user made in /tmp; so it does when the lock
// cannot be made in the runtime folder. Afterwards the cache's instance folder is a folder with
// mode 0700 wherever the instance used it, and another user's is left as it was. Where no folder
// can be used, the one line on stderr names the step's own cause.
TEST(SingleInstance, UntrustedFolderIsNotUsed)
{
    struct Places
    {
        juce::File runtime, cache, fallback, elsewhere, tmp;
        std::string fallbackLock() const
        {
            char host[256] = {};
            gethostname(host, sizeof host - 1);
            return path(fallback.getChildFile(juce::String(host) + ".lock"));
        }
    };
    const auto other = [](const juce::File& folder)
    {
        [[maybe_unused]] const int given = chown(path(makeFolder(folder, 0777)).c_str(), 65534, 65534);
        return folder;
    };
    std::vector<juce::File> mounted; // read-only while the row's launch runs
    const auto readOnly = [&](const juce::File& folder)
    {
        EXPECT_TRUE(mountReadOnly(folder)) << path(folder);
        mounted.push_back(folder);
    };
    enum Needs
    {
        nothing,
        giveAway, // root, to give a file away
        mounts    // root, to make a folder read-only
    };
    const struct
    {
        const char* what;
        bool runtimeSet, cacheSet;
        Needs needs;
        bool claimed;
        int fallbackMode;                                // 0: none
        std::function<std::string(const Places&)> plant; // returns the lock file to hold
        const char* cause = nullptr;                     // on stderr; nothing there without one
    } cases[] = {
        { "private runtime folder", true, true, nothing, false, 0,
          [](auto& at) { return instanceFile(makeFolder(at.runtime), ".lock"); } },
        { "runtime folder others may enter", true, true, nothing, true, 0700,
          [](auto& at) { return instanceFile(makeFolder(at.runtime, 0755), ".lock"); } },
        { "no runtime folder: the cache's", false, true, nothing, false, 0700,
          [](auto& at) { return (makeFolder(at.fallback), at.fallbackLock()); } },
        { "no cache folder named: ~/.cache", false, false, nothing, false, 0700,
          [](auto& at) { return (makeFolder(at.fallback), at.fallbackLock()); } },
        { "the /tmp name taken by another user", false, true, giveAway, false, 0700,
          [&](auto& at)
          {
              other(at.tmp.getChildFile(kName + "-" + juce::String(geteuid())));
              return (makeFolder(at.fallback), at.fallbackLock());
          } },
        { "cache folder others may write to", false, true, nothing, true, 0700,
          [](auto& at) { return (makeFolder(at.fallback, 0777), at.fallbackLock()); } },
        { "cache folder that is a link to a private folder", false, true, nothing, true, 0700,
          [](auto& at)
          {
              symlink(path(makeFolder(at.elsewhere)).c_str(), path(at.fallback).c_str());
              return at.fallbackLock();
          } },
        { "cache folder of another user", false, true, giveAway, true, 0777,
          [&](auto& at) { return (other(at.fallback), at.fallbackLock()); }, "it belongs to another user" },
        { "read-only private runtime folder", true, true, mounts, false, 0700,
          [&](auto& at)
          {
              readOnly(makeFolder(at.runtime));
              return (makeFolder(at.fallback), at.fallbackLock());
          } },
        { "another user's lock file in the private runtime folder", true, true, giveAway, false, 0700,
          [&](auto& at)
          {
              const auto lock = instanceFile(makeFolder(at.runtime), ".lock");
              close(open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
              [[maybe_unused]] const int given = chown(lock.c_str(), 65534, 65534);
              return (makeFolder(at.fallback), at.fallbackLock());
          } },
        { "read-only cache folder", false, true, mounts, true, 0,
          [&](auto& at)
          {
              readOnly(at.cache);
              return path(at.tmp.getChildFile("unrelated.lock"));
          },
          "Read-only file system" },
        { "no ~/.cache in a read-only home", false, false, mounts, true, 0,
          [&](auto& at)
          {
              at.cache.deleteRecursively();
              readOnly(at.cache.getParentDirectory());
              return path(at.tmp.getChildFile("unrelated.lock"));
          },
          "Read-only file system" },
    };
    const TempFolder base;
    for (const auto& c : cases)
    {
        if ((c.needs == giveAway && geteuid() != 0) || (c.needs == mounts && !ownMountNamespace()))
            continue; // only root can give a folder away, or mount one
        TempFolder root(base.file());
        const auto home = makeFolder(root.child("home"));
        const auto cache = c.cacheSet ? root.child("cache") : home.getChildFile(".cache");
        const Places at{ root.child("runtime"), cache, cache.getChildFile(kName), root.child("elsewhere"),
                         makeFolder(root.child("tmp")) };
        makeFolder(cache);
        const int planted = open(c.plant(at).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_EQ(flock(planted, LOCK_EX | LOCK_NB), 0) << c.what;
        c.runtimeSet ? setenv("XDG_RUNTIME_DIR", path(at.runtime).c_str(), 1) : unsetenv("XDG_RUNTIME_DIR");
        c.cacheSet ? setenv("XDG_CACHE_HOME", path(cache).c_str(), 1) : unsetenv("XDG_CACHE_HOME");
        setenv("HOME", path(home).c_str(), 1);
        setenv("TMPDIR", path(at.tmp).c_str(), 1);
        testing::internal::CaptureStderr();
        EXPECT_EQ(launch("--first"), c.claimed) << c.what;
        const auto said = testing::internal::GetCapturedStderr();
        close(planted);
        for (const auto& folder : mounted)
            umount2(path(folder).c_str(), MNT_DETACH);
        mounted.clear();
        if (c.cause == nullptr)
            EXPECT_EQ(said, "") << c.what;
        else
            EXPECT_NE(said.find(std::string("(") + c.cause + "); running as the only instance"), std::string::npos)
                << c.what << ": " << said;
        struct stat status;
        const int fallbackMode = lstat(path(at.fallback).c_str(), &status) != 0 ? 0
                                 : S_ISDIR(status.st_mode)                      ? int(status.st_mode & 0777)
                                                                                : -1;
        EXPECT_EQ(fallbackMode, c.fallbackMode) << c.what;
    }
}

} // namespace
