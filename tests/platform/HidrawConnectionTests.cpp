// hidraw takes one whole report per write: a short write must fail, never send the rest as a second
// report (a regular file under a file-size limit stands in for the node). One open of a node holds
// it until it closes (an emulated node).

#include "HidrawConnection.h"

#include <TempFolder.h>
#include <UmockdevHidTestbed.h>

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
    platform::HidOpenError error;
    auto node = platform::HidrawConnection::open(path, error);
    ASSERT_NE(node, nullptr) << error.reason;
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

// Another program's open is one more open file description, as a second open in this process is.
TEST(HidrawConnection, AnOpenNodeIsInUseForEveryOtherOpenUntilItCloses)
{
    testsupport::UmockdevHidTestbed testbed;
    ASSERT_TRUE(testsupport::UmockdevHidTestbed::available());
    const auto id = testbed.addDevice({});
    ASSERT_NE(id, 0);
    std::atomic<int> taken{ 0 };
    testbed.setReportHandler(id,
                             [&](const uint8_t* report, size_t)
                             {
                                 taken += report[0] == 0x5A;
                                 return testsupport::OutputReportOutcome{};
                             });
    const auto path = testbed.nodePath(id);
    platform::HidOpenError error;
    auto first = platform::HidrawConnection::open(path, error);
    ASSERT_NE(first, nullptr) << error.reason;

    EXPECT_EQ(platform::HidrawConnection::open(path, error), nullptr);
    EXPECT_TRUE(error.inUse);
    EXPECT_EQ(error.reason, "in use by another program");
    const std::vector<uint8_t> report(65, 0x5A);
    EXPECT_EQ(first->write(report.data(), report.size()), platform::HidConnection::WriteResult::written);
    ASSERT_TRUE(testbed.waitForSentReports(id));
    EXPECT_EQ(taken, 1) << "the holder's report did not reach the device";

    first.reset();
    EXPECT_NE(platform::HidrawConnection::open(path, error), nullptr) << "closing kept the node held";
    platform::HidOpenError missing;
    EXPECT_EQ(platform::HidrawConnection::open(path + "-gone", missing), nullptr);
    EXPECT_FALSE(missing.inUse) << missing.reason;
}
