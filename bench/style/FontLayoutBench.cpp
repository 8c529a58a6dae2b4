// Cost of the first screen a user sees: the peak memory and the time of the first layout (and
// first paint) of the language screen's heading and text, with the language look as the default
// look, in English and in Japanese, with the system's fonts and with the Noto CJK collections
// hidden. Each case runs in a fresh process (this program started again with --case), since the
// first layout opens the fonts and the peak memory never goes down.
//
// Run under a display (xvfb-run) as the GUI tests do: build/bench/style/font_layout_bench
#include "LangLookAndFeel.h"
#include "Loader.h"
#include "StrRes.h"
#include "TempFolder.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace
{
long peakMemoryKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The language screen's message as the main component lays it out: the bold heading with its
// closing empty line, then the plain text below it in the follow-on area.
void layOutLanguageScreen(LangIdTable_t lang, juce::GlyphArrangement& glyphs)
{
    const juce::String& name = StrRes::DEFAULT_FONT_MAC[lang];
    glyphs.addFittedText(juce::Font(name, 13.0f, juce::Font::bold), StrRes::STR_0005[lang] + "\n\n", 20.0f, 20.0f,
                         364.0f, 106.0f, juce::Justification(9), 8, 0.0f);

    const int last = glyphs.getNumGlyphs() - 1;
    const auto box = glyphs.getBoundingBox(last, 1, true);
    const float bottom = box.getBottom();
    const float top = bottom == 0.0f ? 46.0f : bottom;
    glyphs.addFittedText(juce::Font(name, 13.0f, juce::Font::plain), StrRes::STR_0006[lang], 40.0f, top, 344.0f,
                         126.0f - top, juce::Justification(9), (int)((126.0f - top) / 13.0f), 0.0f);
}

int runCase(LangIdTable_t lang)
{
    const long startKb = peakMemoryKb();
    juce::ScopedJuceInitialiser_GUI gui;
    LangLookAndFeel look;
    look.setDefaultSansSerifTypefaceName("Hiragino Maru Gothic Pro W4");
    juce::LookAndFeel::setDefaultLookAndFeel(&look);
    juce::Typeface::clearTypefaceCache();
    const long readyKb = peakMemoryKb();

    const auto start = std::chrono::steady_clock::now();
    juce::GlyphArrangement glyphs;
    layOutLanguageScreen(lang, glyphs);
    const double layoutMs = millisecondsSince(start);

    juce::Image image(juce::Image::ARGB, 404, 126, true);
    {
        juce::Graphics g(image);
        g.setColour(juce::Colours::black);
        glyphs.draw(g);
    }
    const double paintMs = millisecondsSince(start);

    std::printf("%ld %ld %ld %.2f %.2f %d\n", startKb, readyKb, peakMemoryKb(), layoutMs, paintMs,
                glyphs.getNumGlyphs());
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    return 0;
}

struct Figures
{
    long startKb = 0, readyKb = 0, peakKb = 0;
    double layoutMs = 0, paintMs = 0;
    int glyphs = 0;
};

bool runInFreshProcess(const char* lang, const juce::String& fontConfigFile, Figures& figures)
{
    const juce::String self = juce::File("/proc/self/exe").getLinkedTarget().getFullPathName();
    juce::String command;

    if (fontConfigFile.isNotEmpty())
        command << "FONTCONFIG_FILE=" << fontConfigFile.quoted('\'') << " ";

    command << self.quoted('\'') << " --case " << lang;
    FILE* child = popen(command.toRawUTF8(), "r");

    if (child == nullptr)
        return false;

    const int read = std::fscanf(child, "%ld %ld %ld %lf %lf %d", &figures.startKb, &figures.readyKb, &figures.peakKb,
                                 &figures.layoutMs, &figures.paintMs, &figures.glyphs);
    return pclose(child) == 0 && read == 6;
}

// The system's configuration less the Noto CJK collections, as on a machine without them.
juce::File writeConfigWithoutNotoCjk(const TempFolder& folder)
{
    const auto file = folder.child("without-noto-cjk.conf");
    file.replaceWithText("<?xml version=\"1.0\"?>\n"
                         "<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                         "<fontconfig>\n"
                         "  <include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>\n"
                         "  <selectfont><rejectfont>\n"
                         "    <glob>*/NotoSansCJK*</glob>\n"
                         "    <glob>*/NotoSerifCJK*</glob>\n"
                         "  </rejectfont></selectfont>\n"
                         "</fontconfig>\n");
    return file;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--case") == 0)
        return runCase(std::strcmp(argv[2], "ja") == 0 ? LANG_JA : LANG_EN);

    constexpr int kRuns = 5;
    TempFolder folder;
    const juce::String withoutNoto = writeConfigWithoutNotoCjk(folder).getFullPathName();

    std::printf("Language screen, first layout and paint, each run a fresh process; median of %d runs.\n", kRuns);
    std::printf("%-8s %-16s %10s %10s %10s %10s %10s %7s\n", "language", "fonts", "start MB", "ready MB", "peak MB",
                "layout ms", "paint ms", "glyphs");

    for (const char* lang : { "en", "ja" })
    {
        for (const bool hideNoto : { false, true })
        {
            std::vector<Figures> runs;

            for (int i = 0; i < kRuns; ++i)
            {
                Figures figures;
                if (!runInFreshProcess(lang, hideNoto ? withoutNoto : juce::String(), figures))
                {
                    std::fprintf(stderr, "font_layout_bench: the case %s did not run\n", lang);
                    return 1;
                }
                runs.push_back(figures);
            }

            const auto median = [&runs](auto member)
            {
                std::vector<double> values;
                for (const auto& run : runs)
                    values.push_back((double)(run.*member));
                std::sort(values.begin(), values.end());
                return values[values.size() / 2];
            };

            std::printf("%-8s %-16s %10.1f %10.1f %10.1f %10.1f %10.1f %7d\n", lang,
                        hideNoto ? "no Noto CJK" : "system", median(&Figures::startKb) / 1024.0,
                        median(&Figures::readyKb) / 1024.0, median(&Figures::peakKb) / 1024.0,
                        median(&Figures::layoutMs), median(&Figures::paintMs), runs.front().glyphs);
        }
    }

    return 0;
}
