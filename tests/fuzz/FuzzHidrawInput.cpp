// Input reports of any length and content through the Linux backend's hidraw connection into
// HidCtrl: one end of a SOCK_SEQPACKET socket pair (which keeps report boundaries) is the node,
// behind the real HID manager, device object and holder. Checks: exactly the reports whose first
// byte is 0xF0 or more reach the client, in order, each as its first 64 bytes at most.
#include "FuzzSupport.h"
#include "HidCtrl.h"
#include "HidrawConnection.h"
#include "RunLoop.h"

#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
// The system as the HID manager sees it: one QEL-720, whose node is the socket; nothing comes or goes.
struct SocketSource : platform::HidDeviceSource
{
    explicit SocketSource(int node) : node(node) {}
    ~SocketSource() override { close(events); }
    bool start() override { return true; }
    std::vector<platform::HidDeviceDescription> enumerate() override
    {
        return { testsupport::FakeHidSource::qel720(1) };
    }
    int eventFd() const override { return events; }
    std::vector<Event> readEvents() override { return {}; }
    std::shared_ptr<platform::HidConnection> open(const platform::HidDeviceDescription&,
                                                  platform::HidOpenError&) override
    {
        return std::make_shared<platform::HidrawConnection>(dup(node), eventfd(0, EFD_CLOEXEC));
    }
    const int node, events = eventfd(0, EFD_CLOEXEC);
};

struct Client : HidHandler
{
    void removalCallBack() override {}
    void matchingCallBack() override {}
    void inputCallBack(int) override
    {
        FUZZ_CHECK(ctrl.m_dataLen <= 64); // the count the client copies out of m_data
        inputs.emplace_back(ctrl.m_data, ctrl.m_data + ctrl.m_dataLen);
    }
    HidCtrl ctrl;
    std::vector<fuzzsupport::Bytes> inputs;
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Report bytes from the front; from the end, each report's length less one and whether the
    // reports so far are read before the next one is sent.
    fuzzsupport::Bytes full(64, 0x5A);
    full[0] = 0xF5, full[1] = 0x85, full.insert(full.end(), { 1, 63, 0 });
    fuzzsupport::writeSeedsIfAsked({ { 0xF0, 0x80, 0x12, 0x34, 0x01, 0x02, 0x03, 0, 2, 0, 1, 3, 0 }, full });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    int pair[2];
    FUZZ_CHECK(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) == 0);
    platform::setHidDeviceSourceFactory([node = pair[0]] { return std::make_unique<SocketSource>(node); });
    Client client;
    FUZZ_CHECK(client.ctrl.initialize(&client, 1) == 1);
    const auto drain = [&, loop = platform::RunLoop::current()] // until the node has nothing left to read
    {
        for (int waiting = 1; waiting > 0; ioctl(pair[0], FIONREAD, &waiting))
            loop->runOnce(0);
    };

    FuzzedDataProvider in(data, size);
    std::vector<fuzzsupport::Bytes> expected;
    while (in.remaining_bytes() > 0)
    {
        auto report = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<size_t>(1, 300));
        while (!report.empty() && send(pair[1], report.data(), report.size(), MSG_DONTWAIT) < 0)
            FUZZ_CHECK(errno == EAGAIN), drain();
        if (!report.empty() && report[0] >= 0xF0)
            report.resize(std::min<size_t>(report.size(), 64)), expected.push_back(report);
        if (in.ConsumeBool()) // some reports come one by one, some together
            drain();
    }
    drain();
    FUZZ_CHECK(client.inputs == expected);
    client.ctrl.finalize();
    close(pair[0]), close(pair[1]);
    return 0;
}
