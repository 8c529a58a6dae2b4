#pragma once

// One running instance per user and application name; a later launch hands its command line to the
// running one. (JUCE 7 takes a lock of its own on Linux but never delivers anotherInstanceStarted.)
//
// The first process to claim holds an exclusive flock on "<folder>/<name>.lock" for as long as its
// object lives (the kernel drops it if the process dies) and listens on the stream socket
// "<folder>/<name>.socket", replacing a file a crashed holder left there. A later launch of the same
// user finds the lock taken, sends "<name>\n<command line>" (UTF-8, 64 KiB at most) and waits for a
// one-byte acknowledgement. It retries, the lock included, for about two seconds, then gives up
// quietly: it never counts as the one instance while another process holds the lock. The running
// instance serves the socket from JUCE's event loop and never blocks on it: peers of other users,
// malformed or oversized messages and connections not complete within three seconds are dropped, and
// only a few connections are kept at once (a new one evicts the oldest).
//
// "<folder>/<name>" above is "$XDG_RUNTIME_DIR/<name>" when that folder is this user's with mode
// 0700 and this user's lock file can be had there (not on a read-only file system, no file of
// someone else in its place); otherwise it is "<cache>/<name>/<host name>", <cache> being
// $XDG_CACHE_HOME or ~/.cache: a place in the user's own home, where no other user can take the
// name first, and one lock per machine where machines share the home folder. <cache>/<name> is
// made with mode 0700; an entry of this user there that is not such a folder is mended (made
// 0700, planted instance files removed; a link or file replaced), another user's is refused.
// Without a safe folder one line goes to stderr, with the cause, and the process counts as the
// only instance: two of them may then run, but each holds the device it drives exclusively (see
// HidrawConnection), so they never share one.
//
// Threads and ownership: one object per process, owned by main() and kept for the process's life.
// claim() first, on the main thread before JUCE starts (it may block for about two seconds).
// startListening() and the destructor on the message thread, never from inside the callback; the
// callback runs on the message thread, from a message of its own. The object may outlive JUCE's
// message manager: its descriptors are then simply closed.

#include <juce_core/juce_core.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform
{

class SingleInstance
{
public:
    explicit SingleInstance(const juce::String& applicationName);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Once, before JUCE starts. True: this process is the one instance and keeps the lock while the
    // object lives. False: another instance of this user runs and has been handed `commandLine`
    // (or could not be reached in time); the caller exits with status 0 and opens no window.
    bool claim(const juce::String& commandLine);

    // Message thread, after JUCE is initialised, at most once: serves the socket from then on; each
    // command line a later launch hands over reaches `onAnotherInstance` on the message thread.
    // Nothing happens unless claim() made this process the one instance with a listening socket.
    void startListening(std::function<void(const juce::String&)> onAnotherInstance);

private:
    using Clock = std::chrono::steady_clock;

    // A peer being read; dropped when it is complete, too large, failed or past its deadline.
    struct Connection
    {
        int fd = -1;
        std::string received;
        Clock::time_point deadline;
    };

    void openSocket();
    void acceptConnections();
    void receive(int fd);
    void finish(const Connection& connection);
    void drop(int fd);
    void dropLateConnections();
    void armTimer();
    std::vector<Connection>::iterator findConnection(int fd);

    const juce::String m_name;
    std::string m_socketPath;
    int m_lockFd = -1;
    int m_listenFd = -1;
    int m_timerFd = -1;
    bool m_serving = false;
    std::uint64_t m_socketDevice = 0; // identify the socket file we bound, so that only it is removed
    std::uint64_t m_socketInode = 0;
    std::vector<Connection> m_connections; // oldest first
    // Shared with the messages that carry command lines, which find it gone after destruction.
    std::shared_ptr<std::function<void(const juce::String&)>> m_onAnotherInstance;
};

} // namespace platform
