// The hidraw node's connection on conditions a machine can meet: a short write, and no
// descriptors left.

#include "HidrawConnection.h"
#include "RunLoop.h"

#include <HidTestKit.h>
#include <TempFolder.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using platform::HidConnection;
using platform::HidrawConnection;

namespace
{
std::atomic<int> fileTooLarge{ 0 };

// A lower soft limit on a resource of this process while in scope.
struct LoweredLimit
{
    LoweredLimit(int resource, rlim_t value) : resource(resource)
    {
        getrlimit(resource, &previous);
        rlimit lowered = previous;
        lowered.rlim_cur = value;
        setrlimit(resource, &lowered);
    }
    ~LoweredLimit() { setrlimit(resource, &previous); }
    const int resource;
    rlimit previous;
};
} // namespace

TEST(HidrawConnection, AShortWriteFailsAndTheRestIsNotSentAsASecondReport)
{
    TempFolder folder;
    const std::string path = folder.child("hidraw").getFullPathName().toStdString();
    close(::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    std::string error;
    auto node = HidrawConnection::open(path, error);
    ASSERT_NE(node, nullptr) << error;
    const auto report = testsupport::makeReport({ 0x00, 0xF0 }, 0x5A, 65);

    // The file-size limit cuts the write short; a second write, for the rest, would raise SIGXFSZ.
    struct sigaction counting = {}, previous;
    counting.sa_handler = [](int) { ++fileTooLarge; };
    sigaction(SIGXFSZ, &counting, &previous);
    HidConnection::WriteResult result;
    {
        LoweredLimit limit(RLIMIT_FSIZE, 10);
        result = node->write(report.data(), report.size());
    }
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(result, HidConnection::WriteResult::failed);
    EXPECT_EQ(fileTooLarge, 0) << "the rest of the report was written as another report";
}

TEST(DescriptorExhaustion, TheCallThatNeededANewDescriptorFailsCleanlyOrDoesWithoutIt)
{
    const struct
    {
        const char* name;
        std::function<bool()> copes; // fails cleanly, or does without the descriptor
    } cases[] = {
        { "opening a node, which also needs its cancel descriptor",
          []
          {
              std::string error;
              return HidrawConnection::open("/dev/null", error) == nullptr && !error.empty();
          } },
        { "a new thread's run loop, which refuses sources but still runs posted work",
          []
          {
              bool refused = false, ran = false;
              std::thread(
                  [&]
                  {
                      const auto loop = platform::RunLoop::current();
                      refused = loop->addFdSource(STDERR_FILENO, [](uint32_t) {}) == 0;
                      loop->perform([&] { ran = true; });
                      loop->runOnce(0);
                  })
                  .join();
              return refused && ran;
          } },
    };
    for (auto& c : cases)
    {
        // With every descriptor below the lowest free one in use, exactly one more can be made.
        const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        close(lowestFree);
        bool coped;
        {
            LoweredLimit limit(RLIMIT_NOFILE, (rlim_t)lowestFree + 1);
            coped = c.copes();
        }
        EXPECT_TRUE(coped) << c.name;
    }
}
