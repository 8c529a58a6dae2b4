// The real program as a user runs it: started from a folder with its update files, with the
// simulated QEL-720 behind an emulated hidraw node, driven by keys on its own X server.
#include "Process.h"
#include "SimulatedQel720.h"
#include "UpdateFileBuilder.h"
#include "Updater.h"

#include <FakeHidSource.h>
#include <MainComponent.h>
#include <StrRes.h>
#include <UmockdevHidTestbed.h>

#include <gtest/gtest.h>

namespace
{
constexpr std::uint8_t kPrepare = 0x08;
using U = Updater;

class EndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_x.running());
        ASSERT_TRUE(testsupport::UmockdevHidTestbed::available());
    }

    // OK on the language screen, then Start on the confirmation screen.
    static void startTransfer(Updater& updater, const SimulatedQel720& device)
    {
        ASSERT_TRUE(updater.pressReturn([&] { return updater.showsGrey(U::kLanguageBox); }));
        ASSERT_TRUE(updater.pressReturn([&] { return device.lastPrepare()[1] == kPrepare; }));
    }

    // Whether the window shows the screen of the state: its message and icon as the program draws them.
    void expectScreen(XServer::Window window, juce::int32 state)
    {
        juce::ScopedJuceInitialiser_GUI juce;
        testsupport::FakeHidSource noDevices;
        noDevices.install();
        MainComponent expected;
        TxtLoader::getInstance()->setLocale(LANG_EN);
        expected.setSize(U::kWidth, U::kHeight);
        expected.m_updState = state;
        expected.UpdateDrawing();
        const auto image = expected.createComponentSnapshot({ 0, 0, U::kWidth, 70 });
        int differing = 0;
        for (int y = 0; y < 70; y += 2)
            for (int x = 0; x < U::kWidth; x += 2)
                differing += image.getPixelAt(x, y).getPixelARGB().getNativeARGB() !=
                             m_x.pixel(window, x, y).getPixelARGB().getNativeARGB();
        EXPECT_LT(differing, 20) << "not the screen of 0x" << juce::String::toHexString(state);
    }

    XServer m_x;
    testsupport::UmockdevHidTestbed m_testbed;
    SimulatedQel720 m_device;
};
} // namespace

TEST_F(EndToEnd, CompleteMainFileUpdateThenOkQuits)
{
    m_device.setVersion(0x20230101, "1.05");
    m_device.attach(m_testbed);
    Updater updater(m_x);
    const auto builder = UpdateFileBuilder().patternRegions().date(0x20240315).version("1.10");
    builder.write(updater.file("QEL720v110.bin"));
    ASSERT_NE(updater.start(), 0ul);

    startTransfer(updater, m_device);
    // 31,000 exchanges, each through the emulated node and three threads: 10 s on an idle machine,
    // up to three minutes on two processors that a dozen other programs keep busy.
    ASSERT_TRUE(waitUntil([&] { return m_device.finished(); }, 300000));
    ASSERT_TRUE(waitUntil([&] { return updater.showsGrey(U::kProgressBar); })); // the completion screen
    ASSERT_TRUE(updater.pressReturn([&] { return updater.ended(); }));          // its OK quits
    EXPECT_EQ(updater.exitStatus(), 0);

    const auto image = builder.image();
    const std::pair<std::uint8_t, std::size_t> regions[] = {
        { 0xF1, 0 }, { 0xF2, 0x90000 }, { 0xF3, 0x120000 }, { 0xF7, 0x1D0000 }
    };
    for (std::size_t r = 0; r < 4; ++r)
    {
        const auto [id, start] = regions[r];
        const auto end = r < 3 ? regions[r + 1].second : 0x1E0000;
        const auto flash = m_device.flash(id);
        EXPECT_TRUE(std::equal(flash.begin() + (long)start, flash.begin() + (long)end, image.begin() + (long)start))
            << "target " << (int)id;
    }
}

// Also from a folder whose name is not UTF-8, as an archive made elsewhere may leave it.
TEST_F(EndToEnd, DspUpdate)
{
    for (const char* folderName : { "", "Mise \xE0 jour" })
    {
        SCOPED_TRACE(folderName);
        SimulatedQel720 device;
        const auto id = device.attach(m_testbed);
        Updater updater(m_x);
        UpdateFileBuilder::writeDsp(updater.file("qelc1_dsp_data.bin"), 0x20000);
        if (*folderName != '\0')
            updater.renameFolder(folderName);
        ASSERT_NE(updater.start(), 0ul);

        startTransfer(updater, device);
        ASSERT_TRUE(waitUntil([&] { return device.finished(); }));
        EXPECT_EQ(device.blocksWritten(), 1);
        ASSERT_TRUE(waitUntil([&] { return updater.showsGrey(U::kProgressBar); }));
        ASSERT_TRUE(updater.pressReturn([&] { return updater.ended(); }));
        EXPECT_EQ(updater.exitStatus(), 0);
        m_testbed.removeDevice(id);
    }
}

// A main file that passes its checks reaches the device check: found also in a folder whose name
// is not UTF-8.
TEST_F(EndToEnd, NoDeviceOrABrokenFileEndOnTheirErrorScreens)
{
    const struct
    {
        const char* name;
        bool device;
        const char* folderName;
        juce::int32 screen;
    } cases[] = {
        { "no device", false, "", 0xE21 },
        { "no device, folder not named in UTF-8", false, "Mise \xE0 jour", 0xE21 },
        { "broken file", true, "", 0xE05 }, // the device stays
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        if (c.device)
            m_device.attach(m_testbed);
        Updater updater(m_x);
        UpdateFileBuilder builder;
        (c.device ? builder.wrongCrc() : builder).write(updater.file("QEL720v001.bin"));
        if (*c.folderName != '\0')
            updater.renameFolder(c.folderName);
        const auto window = updater.start();
        ASSERT_NE(window, 0ul);

        ASSERT_TRUE(updater.pressReturn([&] { return !updater.showsGrey(U::kIcon); }));
        expectScreen(window, c.screen);
        EXPECT_FALSE(waitUntil([&] { return !m_device.commands().empty(); }, 500)) << "a command reached the device";
        ASSERT_TRUE(updater.pressReturn([&] { return updater.ended(); })); // Close
        EXPECT_EQ(updater.exitStatus(), 0);
    }
}

// Unplugged: the 0E37 screen, until Close. Closed by the window manager: the program quits at
// once. Either way the device hears nothing more, and no finish.
TEST_F(EndToEnd, TransferInterruptedByRemovalOrCloseSendsNothingMore)
{
    for (bool unplug : { true, false })
    {
        SCOPED_TRACE(unplug ? "unplugged" : "closed");
        SimulatedQel720 device;
        const auto id = device.attach(m_testbed);
        Updater updater(m_x);
        UpdateFileBuilder::writeDsp(updater.file("qelc1_dsp_cymbal_data.bin"), 0x40000);
        const auto window = updater.start();
        ASSERT_NE(window, 0ul);
        startTransfer(updater, device);
        ASSERT_TRUE(waitUntil([&] { return device.commands().size() > 200; }));

        if (unplug)
        {
            m_testbed.removeDevice(id);
            ASSERT_TRUE(waitUntil([&] { return !updater.showsGrey(U::kIcon); }));
            expectScreen(window, 0xE37);
            ASSERT_TRUE(updater.pressReturn([&] { return updater.ended(); }));
        }
        else
        {
            m_x.requestClose(window);
        }
        EXPECT_EQ(updater.exitStatus(5000), 0);
        // What the program wrote before it ended may still be on its way to the device's thread.
        const auto quiet = [&]
        {
            const auto count = device.commands().size();
            juce::Thread::sleep(300);
            return device.commands().size() == count;
        };
        EXPECT_TRUE(waitUntil(quiet, 10000)) << "the device still hears commands";
        EXPECT_FALSE(device.finished());
        if (!unplug)
            m_testbed.removeDevice(id);
    }
}

// The window: fixed, also where the window manager reads only its size hints, in the chosen
// language; a second launch opens none of its own, ends with 0 and brings the first to the front.
// Either launch with an argument that is not UTF-8 (a file name in another encoding, from a file
// manager), which JUCE would copy past the room it makes for it.
TEST_F(EndToEnd, SecondLaunchRaisesTheOneWindow)
{
    Updater updater(m_x, "de_DE.UTF-8");
    const auto title = StrRes::STR_0000[LANG_DE].toStdString();
    const std::vector<std::string> notUtf8{ "QEL720v105.bin", "/home/user/Mise \xE0 jour/QEL720v105.bin" };
    const auto window = updater.start(title, notUtf8);
    ASSERT_NE(window, 0ul);
    EXPECT_EQ(m_x.windowFunctions(window), 4) << "it can be moved, nothing more";
    const auto keepsItsSize = [&](const char* when)
    {
        EXPECT_EQ(m_x.bounds(window).withPosition(0, 0), juce::Rectangle<int>(U::kWidth, U::kHeight)) << when;
        for (const auto& [width, height] : { std::pair(600, 300), std::pair(200, 100) })
        {
            ASSERT_TRUE(m_x.resize(window, width, height)) << when;
            EXPECT_EQ(m_x.bounds(window).withPosition(0, 0), juce::Rectangle<int>(U::kWidth, U::kHeight))
                << when << ", asked for " << width << " x " << height;
        }
    };
    keepsItsSize("once shown");
    // JUCE sets the window's bounds and size hints anew when it paints after a pause.
    juce::Thread::sleep(3500);

    m_x.focusRoot();
    EXPECT_EQ(Process::waitForExit(updater.launch(notUtf8), 10000), 0);
    EXPECT_EQ(m_x.windowsNamed(title).size(), 1u);
    EXPECT_TRUE(waitUntil([&] { return m_x.focusedWindow() == window; }, 10000));
    EXPECT_TRUE(updater.waitForFocusMark()) << "the raised window paints";
    keepsItsSize("after a pause");
    m_x.requestClose(window);
    EXPECT_EQ(updater.exitStatus(), 0);
}

// One Return acts, also on a window left alone for a while after it showed its focus mark: the
// window's late word from the window system that it has the focus must not take the key from the
// OK button. (Without the device and a file, OK ends on 0E01.)
TEST_F(EndToEnd, OneReturnOnAWindowLeftAloneActs)
{
    for (int launch = 0; launch < 4; ++launch)
    {
        SCOPED_TRACE(launch);
        Updater updater(m_x);
        const auto window = updater.start();
        ASSERT_NE(window, 0ul);
        EXPECT_TRUE(updater.pressReturn([&] { return !updater.showsGrey(U::kIcon); }, 1500));
        m_x.requestClose(window);
        EXPECT_EQ(updater.exitStatus(), 0);
    }
}
