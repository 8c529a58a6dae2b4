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

    void save(XServer::Window window, const char* screen) const
    {
        const auto file = folder.getChildFile(juce::String(kLocales[lang]) + "-" + screen + ".png");
        file.deleteFile();
        juce::FileOutputStream out(file);
        juce::PNGImageFormat().writeImageToStream(x.capture(window), out);
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
                        u.pressReturnUntil([&] { return u.showsGrey(U::kLanguageBox); });
                        juce::Thread::sleep(300);
                        shooter.save(w, "2-confirm");
                        u.pressReturnUntil([&] { return device.commands().size() > 8000; });
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
                u.pressReturnUntil([&] { return u.showsGrey(U::kLanguageBox); });
                juce::Thread::sleep(300);
                shooter.save(w, "3-confirm-dsp");
            });
        testbed.removeDevice(dspId);

        shooter.run([](Updater& u) { UpdateFileBuilder().write(u.file("QEL720v001.bin")); },
                    [&](Updater& u, XServer::Window w)
                    {
                        u.pressReturnUntil([&] { return !u.showsGrey(U::kIcon); });
                        juce::Thread::sleep(300);
                        shooter.save(w, "6-error");
                    });
        std::printf("%s done\n", kLocales[lang]);
    }
    return 0;
}
