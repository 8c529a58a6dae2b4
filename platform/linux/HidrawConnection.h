#pragma once

// One open hidraw node: the Linux HidConnection.
//
// One device is driven by one program: the node is held with an exclusive flock for as long as it
// is open. The lock belongs to the open file description, so another process, and another open in
// this one, find the node in use; closing the descriptor (the last reference going) lets it go.
//
// Threading: read runs on the run-loop thread the device is scheduled on; write and cancel on
// any thread, concurrently with it. Ownership: owns the node's descriptor and its cancel
// eventfd; the last reference closes both.

#include "HidDeviceSource.h"

#include <chrono>

namespace platform
{

class HidrawConnection : public HidConnection
{
public:
    // Opens the node read-write, non-blocking and close-on-exec, and takes its lock. Null on
    // failure, with the reason in `error` (a node held elsewhere: in use).
    static std::shared_ptr<HidrawConnection> open(const std::string& path, HidOpenError& error);

    HidrawConnection(int fd, int cancelFd);
    ~HidrawConnection() override;
    HidrawConnection(const HidrawConnection&) = delete;
    HidrawConnection& operator=(const HidrawConnection&) = delete;

    int eventFd() const override { return m_fd; }
    ReadResult read(std::vector<uint8_t>& report) override;
    WriteResult write(const uint8_t* bytes, size_t length) override;
    void cancel() override;

private:
    bool cancelled() const;
    bool waitUntilWritable(std::chrono::steady_clock::time_point deadline) const;

    const int m_fd;
    const int m_cancelFd;
};

} // namespace platform
