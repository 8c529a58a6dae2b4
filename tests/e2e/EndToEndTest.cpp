// The real program as a user runs it: started from a folder with its update files, with the
// simulated QEL-720 behind an emulated hidraw node, driven by keys on its own X server.
#include "Process.h"
#include "SimulatedQel720.h"
#include "TempFolder.h"
#include "UpdateFileBuilder.h"
#include "XServer.h"

#include <FakeHidSource.h>
#include <MainComponent.h>
#include <StrRes.h>
#include <UmockdevHidTestbed.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 60000)
{
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32)timeoutMs;
    while (!done())
    {
        if (juce::Time::getMillisecondCounter() > deadline)
            return false;
        juce::Thread::sleep(20);
    }
    return true;
}

const juce::Colour kGrey(0xFFEAEAEA);
constexpr int kWidth = 406, kHeight = 154; // the outer size the window asks for, all of it content
const juce::Point<int> kLanguageBox(200, 84), kProgressBar(200, 84), kIcon(38, 66);
constexpr std::uint8_t kDataChunk = 0x03, kPrepare = 0x08;

// The program with its own folder (the update files lie beside the executable), its own instance
// folder and its language.
class Updater
{
public:
    Updater(XServer& server, const std::string& lang = "en_US.UTF-8") : m_server(server)
    {
        const juce::File program(QEL_UPDATER_PATH);
        m_executable = m_folder.child("qel720-updater");
        if (link(program.getFullPathName().toRawUTF8(), m_executable.getFullPathName().toRawUTF8()) != 0)
            program.copyFileTo(m_executable);
        chmod(m_runtime.file().getFullPathName().toRawUTF8(), 0700);
        m_environment =
            Process::environmentWithout({ "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG", "DISPLAY", "XDG_RUNTIME_DIR" });
        m_environment.push_back("LANG=" + lang);
        m_environment.push_back("DISPLAY=" + server.name());
        m_environment.push_back("XDG_RUNTIME_DIR=" + m_runtime.file().getFullPathName().toStdString());
    }

    ~Updater()
    {
        if (m_pid > 0)
            Process::waitForExit(m_pid, 0);
    }

    juce::File file(const char* name) const { return m_folder.child(name); }
    pid_t launch() const { return Process::spawn({ m_executable.getFullPathName().toStdString() }, m_environment); }

    XServer::Window start(const std::string& title = "Updater Program")
    {
        m_pid = launch();
        const auto window = m_server.waitForWindow(title);
        int status = 0;
        if (window == 0 && Process::ended(m_pid, status))
            ADD_FAILURE() << "the program ended with " << status;
        return window;
    }

    bool ended()
    {
        int status = 0;
        if (m_pid <= 0 || !Process::ended(m_pid, status))
            return false;
        m_pid = -1;
        m_status = status;
        return true;
    }

    int exitStatus(int timeoutMs = 10000)
    {
        if (m_pid > 0)
            m_status = Process::waitForExit(m_pid, timeoutMs);
        m_pid = -1;
        return m_status;
    }

private:
    XServer& m_server;
    TempFolder m_folder{ juce::File(QEL_E2E_WORK_DIR) };
    TempFolder m_runtime;
    juce::File m_executable;
    std::vector<std::string> m_environment;
    pid_t m_pid = -1;
    int m_status = -1;
};

class EndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_x.running());
        ASSERT_TRUE(testsupport::UmockdevHidTestbed::available());
    }

    void plugIn() { m_id = m_device.attach(m_testbed); }

    // Return on the button in the right place, until what it should bring about happens. The
    // button shows its focus mark before the program takes keys; a key typed in the short moment
    // after a new window appears can still be lost, so it is typed again (a key that is taken acts
    // within milliseconds, far inside the wait).
    void pressReturnUntil(XServer::Window window, const std::function<bool()>& done)
    {
        const int x = kWidth - 120, y = kHeight - 30;
        const juce::Colour face(0xFFC5C5C5); // the button's face halfway down
        ASSERT_TRUE(waitUntil(
            [&] { return m_x.pixel(window, x + 8, y) == face && m_x.pixel(window, x + 5, y) != face; }, 20000))
            << "no button has the focus";
        for (int attempt = 0; attempt < 3; ++attempt)
        {
            m_x.key("Return");
            if (waitUntil(done, 5000))
                return;
        }
        FAIL() << "Return had no effect";
    }

    bool showsPixel(XServer::Window window, juce::Point<int> at, bool grey)
    {
        return (m_x.pixel(window, at.x, at.y) == kGrey) == grey;
    }

    int sentCount(std::uint8_t command) const
    {
        int n = 0;
        for (auto& report : m_device.commands())
            n += report[1] == command;
        return n;
    }

    // Which screen the window shows: its message and icon, as the program draws that state.
    void expectScreen(XServer::Window window, juce::int32 state)
    {
        juce::ScopedJuceInitialiser_GUI juce;
        testsupport::FakeHidSource noDevices;
        noDevices.install();
        MainComponent expected;
        TxtLoader::getInstance()->setLocale(LANG_EN);
        expected.setSize(kWidth, kHeight);
        expected.m_updState = state;
        expected.UpdateDrawing();
        const auto image = expected.createComponentSnapshot({ 0, 0, kWidth, 70 });
        int differing = 0;
        for (int y = 0; y < 70; y += 2)
            for (int x = 0; x < kWidth; x += 2)
                differing += image.getPixelAt(x, y).getPixelARGB().getNativeARGB() !=
                             m_x.pixel(window, x, y).getPixelARGB().getNativeARGB();
        EXPECT_LT(differing, 20) << "the window does not show the screen of 0x" << juce::String::toHexString(state);
    }

    XServer m_x;
    testsupport::UmockdevHidTestbed m_testbed;
    SimulatedQel720 m_device;
    int m_id = 0;
};
} // namespace

TEST_F(EndToEnd, CompleteMainFileUpdateThenOkQuits)
{
    m_device.setVersion(0x20230101, "1.05");
    plugIn();
    Updater updater(m_x);
    const auto builder = UpdateFileBuilder().patternRegions().date(0x20240315).version("1.10");
    builder.write(updater.file("QEL720v110.bin"));
    const auto window = updater.start();
    ASSERT_NE(window, 0ul);
    ASSERT_TRUE(m_x.waitForPixel(window, kLanguageBox.x, kLanguageBox.y, kGrey, false));

    // OK, then Start on the confirmation screen, then OK on the completion screen, which quits.
    pressReturnUntil(window, [&] { return showsPixel(window, kLanguageBox, true); });
    pressReturnUntil(window, [&] { return sentCount(kPrepare) == 1; });
    ASSERT_TRUE(waitUntil([&] { return m_device.finished(); }));
    ASSERT_TRUE(m_x.waitForPixel(window, kProgressBar.x, kProgressBar.y, kGrey));
    pressReturnUntil(window, [&] { return updater.ended(); });
    EXPECT_EQ(updater.exitStatus(), 0);

    const auto image = builder.image();
    const struct
    {
        std::uint8_t id;
        std::size_t start, size;
    } regions[] = {
        { 0xF1, 0, 0x90000 }, { 0xF2, 0x90000, 0x90000 }, { 0xF3, 0x120000, 0xB0000 }, { 0xF7, 0x1D0000, 0x10000 }
    };
    for (auto& region : regions)
    {
        const auto flash = m_device.flash(region.id);
        EXPECT_TRUE(std::equal(flash.begin() + (long)region.start, flash.begin() + (long)(region.start + region.size),
                               image.begin() + (long)region.start))
            << "target " << (int)region.id;
    }
}

TEST_F(EndToEnd, DspUpdate)
{
    plugIn();
    Updater updater(m_x);
    UpdateFileBuilder::writeDsp(updater.file("qelc1_dsp_data.bin"), 0x20000);
    const auto window = updater.start();
    ASSERT_NE(window, 0ul);
    ASSERT_TRUE(m_x.waitForPixel(window, kLanguageBox.x, kLanguageBox.y, kGrey, false));

    pressReturnUntil(window, [&] { return showsPixel(window, kLanguageBox, true); });
    pressReturnUntil(window, [&] { return sentCount(kPrepare) == 1; });
    ASSERT_TRUE(waitUntil([&] { return m_device.finished(); }));
    EXPECT_EQ(m_device.blocksWritten(), 1);
    ASSERT_TRUE(m_x.waitForPixel(window, kProgressBar.x, kProgressBar.y, kGrey));
    pressReturnUntil(window, [&] { return updater.ended(); });
    EXPECT_EQ(updater.exitStatus(), 0);
}

TEST_F(EndToEnd, NoDeviceOrABrokenFileEndOnTheirErrorScreens)
{
    for (bool device : { false, true })
    {
        SCOPED_TRACE(device ? "broken file" : "no device");
        if (device)
            plugIn();
        Updater updater(m_x);
        UpdateFileBuilder().wrongCrc().write(updater.file("QEL720v001.bin"));
        if (!device)
            UpdateFileBuilder().write(updater.file("QEL720v001.bin"));
        const auto window = updater.start();
        ASSERT_NE(window, 0ul);
        ASSERT_TRUE(m_x.waitForPixel(window, kLanguageBox.x, kLanguageBox.y, kGrey, false));

        pressReturnUntil(window, [&] { return showsPixel(window, kIcon, false); });
        expectScreen(window, device ? 0xE05 : 0xE21);
        EXPECT_TRUE(m_device.commands().empty());
        pressReturnUntil(window, [&] { return updater.ended(); }); // Close
        EXPECT_EQ(updater.exitStatus(), 0);
    }
}

TEST_F(EndToEnd, UnpluggedDuringTheTransferShowsE37AndSendsNothingMore)
{
    plugIn();
    Updater updater(m_x);
    UpdateFileBuilder::writeDsp(updater.file("qelc1_dsp_cymbal_data.bin"), 0x40000);
    const auto window = updater.start();
    ASSERT_TRUE(m_x.waitForPixel(window, kLanguageBox.x, kLanguageBox.y, kGrey, false));
    pressReturnUntil(window, [&] { return showsPixel(window, kLanguageBox, true); });
    pressReturnUntil(window, [&] { return sentCount(kPrepare) == 1; });
    ASSERT_TRUE(waitUntil([&] { return sentCount(kDataChunk) > 200; }));

    m_testbed.removeDevice(m_id);
    ASSERT_TRUE(m_x.waitForPixel(window, kIcon.x, kIcon.y, kGrey, false));
    expectScreen(window, 0xE37);
    EXPECT_FALSE(m_device.finished());
    pressReturnUntil(window, [&] { return updater.ended(); });
    EXPECT_EQ(updater.exitStatus(), 0);
}

TEST_F(EndToEnd, ClosingTheWindowDuringTheTransferQuitsWithoutFinishing)
{
    plugIn();
    Updater updater(m_x);
    UpdateFileBuilder::writeDsp(updater.file("qelc1_dsp_cymbal_data.bin"), 0x40000);
    const auto window = updater.start();
    ASSERT_TRUE(m_x.waitForPixel(window, kLanguageBox.x, kLanguageBox.y, kGrey, false));
    pressReturnUntil(window, [&] { return showsPixel(window, kLanguageBox, true); });
    pressReturnUntil(window, [&] { return sentCount(kPrepare) == 1; });
    ASSERT_TRUE(waitUntil([&] { return sentCount(kDataChunk) > 200; }));

    m_x.requestClose(window);
    EXPECT_EQ(updater.exitStatus(5000), 0);
    const auto sent = m_device.commands().size();
    juce::Thread::sleep(100);
    EXPECT_EQ(m_device.commands().size(), sent);
    EXPECT_FALSE(m_device.finished());
}

// The window: fixed, in the chosen language; a second launch opens none of its own, ends with 0
// and brings the first to the front.
TEST_F(EndToEnd, SecondLaunchRaisesTheOneWindow)
{
    Updater updater(m_x, "de_DE.UTF-8");
    const auto title = StrRes::STR_0000[LANG_DE].toStdString();
    const auto window = updater.start(title);
    ASSERT_NE(window, 0ul);
    EXPECT_EQ(m_x.bounds(window).withPosition(0, 0), juce::Rectangle<int>(kWidth, kHeight));
    ASSERT_TRUE(m_x.waitForPixel(window, kLanguageBox.x, kLanguageBox.y, kGrey, false));

    EXPECT_EQ(m_x.windowFunctions(window), 4) << "it can be moved, nothing more";
    m_x.focusRoot();
    const auto second = updater.launch();
    EXPECT_EQ(Process::waitForExit(second, 10000), 0);
    EXPECT_EQ(m_x.windowsNamed(title).size(), 1u);
    EXPECT_TRUE(waitUntil([&] { return m_x.focusedWindow() == window; }, 10000));
    m_x.key("Escape");
    m_x.requestClose(window);
    EXPECT_EQ(updater.exitStatus(), 0);
}
