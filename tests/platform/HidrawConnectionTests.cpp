// hidraw takes one whole report per write: a short write must fail, never send the rest as a second
// report. A regular file under a file-size limit stands in for the node.

#include "HidrawConnection.h"

#include <TempFolder.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace
{
std::atomic<int> fileTooLarge{ 0 };
}

TEST(HidrawConnection, AShortWriteFailsAndTheRestIsNotSentAsASecondReport)
{
    TempFolder folder;
    const std::string path = folder.child("hidraw").getFullPathName().toStdString();
    close(::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    std::string error;
    auto node = platform::HidrawConnection::open(path, error);
    ASSERT_NE(node, nullptr) << error;
    const std::vector<uint8_t> report(65, 0x5A);

    // The limit cuts the write short; a second write, for the rest, would raise SIGXFSZ.
    struct sigaction counting = {}, previousAction;
    counting.sa_handler = [](int) { ++fileTooLarge; };
    sigaction(SIGXFSZ, &counting, &previousAction);
    rlimit previousLimit, lowered;
    getrlimit(RLIMIT_FSIZE, &previousLimit);
    lowered = { 10, previousLimit.rlim_max };
    setrlimit(RLIMIT_FSIZE, &lowered);
    const auto result = node->write(report.data(), report.size());
    setrlimit(RLIMIT_FSIZE, &previousLimit);
    sigaction(SIGXFSZ, &previousAction, nullptr);
    EXPECT_EQ(result, platform::HidConnection::WriteResult::failed);
    EXPECT_EQ(fileTooLarge, 0) << "the rest of the report was written as another report";
}
