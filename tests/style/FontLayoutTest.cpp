// Layout with the stand-in fonts of the private font set of FontCoverageTest.cpp.
#include "FontTestSupport.h"
#include "StrRes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
struct Heading
{
    LangIdTable_t lang;
    const juce::String* table;
    const char* ending; // what the screen adds after the text
    const char* screen;
};

// Also the test's name in CTest.
std::ostream& operator<<(std::ostream& out, const Heading& heading)
{
    return out << languageName(heading.lang) << "_" << heading.screen;
}

class HeadingFitTest : public ::testing::TestWithParam<Heading>
{
protected:
    void SetUp() override { ASSERT_EQ(missingFontFiles(), "") << "run scripts/setup.sh"; }

    ScopedDefaultLook look;
};

// A heading laid out as the screens lay it out (the language's font, 13 high, bold, in the main
// area 364 wide) takes one line: a wrapped heading pushes the text below it under the
// progress bar. A heading that ends in a line break is wrapped at its natural width; the others
// may be squeezed to 0.7 of it first.
TEST_P(HeadingFitTest, TakesOneLine)
{
    const auto& heading = GetParam();
    const juce::String text = heading.table[heading.lang].replace("%s", StrRes::NAME_001[heading.lang]);
    const juce::Font font(StrRes::DEFAULT_FONT_MAC[heading.lang], 13.0f, juce::Font::bold);

    juce::GlyphArrangement glyphs;
    glyphs.addFittedText(font, text + heading.ending, 20.0f, 20.0f, 364.0f, 106.0f, juce::Justification(9), 8, 0.0f);

    ASSERT_GT(glyphs.getNumGlyphs(), 0);
    const float firstLine = glyphs.getGlyph(0).getBaselineY();
    int onOtherLines = 0;

    for (const auto& glyph : glyphs)
        if (!glyph.isWhitespace() && glyph.getBaselineY() != firstLine)
            ++onOtherLines;

    const float natural = font.getStringWidthFloat(text);
    RecordProperty("natural_width", juce::String(natural, 1).toStdString());
    std::cout << "natural width " << natural << " px of 364: " << text << "\n";
    EXPECT_EQ(onOtherLines, 0) << "natural width " << natural;
}

INSTANTIATE_TEST_SUITE_P(RussianItalianGerman, HeadingFitTest,
                         ::testing::Values(Heading{ LANG_RU, StrRes::STR_0005, "\n\n", "Language" },
                                           Heading{ LANG_RU, StrRes::STR_0009, "", "Confirm" },
                                           Heading{ LANG_RU, StrRes::STR_0012, "\n\n", "Updating" },
                                           Heading{ LANG_IT, StrRes::STR_0005, "\n\n", "Language" },
                                           Heading{ LANG_IT, StrRes::STR_0009, "", "Confirm" },
                                           Heading{ LANG_IT, StrRes::STR_0012, "\n\n", "Updating" },
                                           Heading{ LANG_DE, StrRes::STR_0005, "\n\n", "Language" },
                                           Heading{ LANG_DE, StrRes::STR_0009, "", "Confirm" },
                                           Heading{ LANG_DE, StrRes::STR_0012, "\n\n", "Updating" }));

// Families whose chains share faces (DejaVu Sans, Liberation Sans, the Noto CJK faces), so that
// the threads load glyphs of the same faces at once.
const char* const kFamilies[] = { "Verdana",  "DejaVu Sans", "Tahoma",   "Helvetica Neue",
                                  "Heiti SC", "SimHei",      "Heiti TC", "Hiragino Sans W5" };

TEST(FontThreadTest, ThreadsLayingOutAndOutliningDifferentFamiliesAtOnce)
{
    constexpr int kRounds = 3;
    const int threadCount = (int)std::size(kFamilies);

    for (int round = 0; round < kRounds; ++round)
    {
        // A new look each round: new typefaces, so that the first glyph loads race again.
        ScopedDefaultLook look;
        std::atomic<int> waiting{ threadCount };
        std::vector<int> glyphCounts((size_t)threadCount, 0);
        std::vector<std::thread> threads;

        for (int t = 0; t < threadCount; ++t)
        {
            threads.emplace_back(
                [t, &waiting, &glyphCounts]
                {
                    --waiting;
                    while (waiting > 0)
                        std::this_thread::yield();

                    for (int lang = 0; lang < LANG_MAX; ++lang)
                    {
                        for (const auto& text : tableTexts((LangIdTable_t)lang))
                        {
                            juce::GlyphArrangement glyphs;
                            glyphs.addFittedText(juce::Font(kFamilies[t], 13.0f, (lang + t) % 2), text, 0.0f, 0.0f,
                                                 364.0f, 106.0f, juce::Justification(9), 8, 0.0f);
                            juce::Path path;
                            glyphs.createPath(path);
                            glyphCounts[(size_t)t] += glyphs.getNumGlyphs();
                        }
                    }
                });
        }

        for (auto& thread : threads)
            thread.join();

        for (int t = 0; t < threadCount; ++t)
            EXPECT_GT(glyphCounts[(size_t)t], 1000) << kFamilies[t];
    }
}
} // namespace
