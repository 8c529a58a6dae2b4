// Pictures of every screen in every language, taken from the real program on its own X server with
// the simulated device behind an emulated hidraw node, for a person to look at:
//   umockdev-wrapper build/tests/e2e/screenshots <folder>
// writes <folder>/<language>-<screen>.png. Not a test: it checks nothing.
#include "Process.h"
#include "SimulatedQel720.h"
#include "UpdateFileBuilder.h"
#include "Updater.h"

#include <StrRes.h>
#include <UmockdevHidTestbed.h>

#include <cstdio>

namespace
{
const char* const kLocales[LANG_MAX] = { "en_US", "fr_FR", "de_DE", "es_ES", "it_IT", "nl_NL",
                                         "ru_RU", "pt_PT", "zh_CN", "zh_TW", "ko_KR", "ja_JP" };

struct Shooter
{
    XServer& x;
    juce::File folder;
    int lang;

    void save(const juce::Image& image, const char* screen) const
    {
        const auto file = folder.getChildFile(juce::String(kLocales[lang]) + "-" + screen + ".png");
        file.deleteFile();
        juce::FileOutputStream out(file);
        juce::PNGImageFormat().writeImageToStream(image, out);
    }
    void save(XServer::Window window, const char* screen) const { save(x.capture(window), screen); }

    // An error screen: what OK leads to with the files `prepare` leaves (and the device, if any).
    void error(const std::function<void(Updater&)>& prepare, const char* screen)
    {
        run(prepare,
            [&](Updater& u, XServer::Window w)
            {
                u.pressReturn([&] { return !u.showsGrey(Updater::kIcon); });
                juce::Thread::sleep(300);
                save(w, screen);
            });
    }

    // One run of the program with what `prepare` leaves beside it, shot along the way by `shoot`.
    void run(const std::function<void(Updater&)>& prepare, const std::function<void(Updater&, XServer::Window)>& shoot)
    {
        Updater updater(x, std::string(kLocales[lang]) + ".UTF-8");
        prepare(updater);
        const auto window = updater.start(StrRes::STR_0000[lang].toStdString());
        if (window == 0)
        {
            std::fprintf(stderr, "%s: no window\n", kLocales[lang]);
            return;
        }
        shoot(updater, window);
        x.requestClose(window);
        updater.exitStatus(10000);
    }
};
} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2 || !testsupport::UmockdevHidTestbed::available())
    {
        std::fprintf(stderr, "usage: umockdev-wrapper %s <folder>\n", argv[0]);
        return 2;
    }
    juce::ScopedJuceInitialiser_GUI juce;
    const juce::File folder = juce::File::getCurrentWorkingDirectory().getChildFile(argv[1]);
    folder.createDirectory();
    XServer x;
    testsupport::UmockdevHidTestbed testbed;
    using U = Updater;
    for (int lang = 0; lang < LANG_MAX; ++lang)
    {
        Shooter shooter{ x, folder, lang };
        SimulatedQel720 device;
        device.setVersion(0x20230101, "1.05");
        const auto id = device.attach(testbed);
        shooter.run([](Updater& u) { UpdateFileBuilder().version("1.10").write(u.file("QEL720v110.bin")); },
                    [&](Updater& u, XServer::Window w)
                    {
                        juce::Thread::sleep(300);
                        shooter.save(w, "1-language");
                        u.pressReturn([&] { return u.showsGrey(U::kLanguageBox); });
                        juce::Thread::sleep(300);
                        shooter.save(w, "2-confirm");
                        u.pressReturn([&] { return device.commands().size() > 8000; });
                        shooter.save(w, "4-progress");
                        waitUntil([&] { return device.finished(); });
                        waitUntil([&] { return u.showsGrey(U::kProgressBar); });
                        juce::Thread::sleep(300);
                        shooter.save(w, "5-complete");
                    });
        testbed.removeDevice(id);

        SimulatedQel720 dspDevice;
        const auto dspId = dspDevice.attach(testbed);
        shooter.run(
            [](Updater& u)
            {
                for (auto [name, size] : { std::pair<const char*, std::size_t>{ "qelc1_dsp_prog.bin", 0x2E000 },
                                           { "qelc1_dsp_data.bin", 0x20000 },
                                           { "qelc1_dsp_cymbal_data.bin", 0x40000 } })
                    UpdateFileBuilder::writeDsp(u.file(name), size);
            },
            [&](Updater& u, XServer::Window w)
            {
                u.pressReturn([&] { return u.showsGrey(U::kLanguageBox); });
                juce::Thread::sleep(300);
                shooter.save(w, "3-confirm-dsp");
            });
        testbed.removeDevice(dspId);

        // The language list open over the window, as the screen shows it.
        shooter.run([](Updater&) {},
                    [&](Updater& u, XServer::Window w)
                    {
                        u.waitForFocusMark();
                        x.click(w, U::kLanguageBox.x, U::kLanguageBox.y);
                        juce::Thread::sleep(500);
                        shooter.save(x.captureScreen(x.bounds(w).expanded(60, 0).withTrimmedBottom(-320)),
                                     "1-language-list");
                        x.key("Escape");
                    });

        // Errors: no device (0E21); a file with a wrong CRC (0E05); a device that answers the
        // first command with a wrong echo (0E41, the device error's three lines).
        const auto validFile = [](Updater& u) { UpdateFileBuilder().write(u.file("QEL720v001.bin")); };
        shooter.error(validFile, "6-error-no-device");
        shooter.error([](Updater& u) { UpdateFileBuilder().wrongCrc().write(u.file("QEL720v001.bin")); },
                      "7-error-file");
        SimulatedQel720 faultyDevice;
        faultyDevice.addFault({ 0x00, 1, SimulatedQel720::FaultKind::WrongEcho });
        const auto faultyId = faultyDevice.attach(testbed);
        shooter.error(validFile, "8-error-device");
        testbed.removeDevice(faultyId);
        std::printf("%s done\n", kLocales[lang]);
    }
    return 0;
}
