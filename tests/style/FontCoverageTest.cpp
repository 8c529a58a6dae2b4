// The fonts of a desktop with the program's font packages: DejaVu, Liberation, Nanum, Droid
// and the Noto CJK collections, whose Chinese and Korean faces are not the first of their files.
#include "FontTestSupport.h"
#include "FreeTypeFace.h"
#include "StrRes.h"

#include <gtest/gtest.h>

juce::StringArray privateFontFiles()
{
    using namespace FontFiles;
    return { kDejaVuSans,      kDejaVuSansBold,    kLiberationSans, kLiberationSansBold, kNanumGothic,
             kNanumGothicBold, kDroidSansFallback, kNotoSansCjk,    kNotoSansCjkBold };
}

namespace
{
struct StandIn
{
    juce::String fontName; // as the texts ask for it
    LangIdTable_t lang;    // whose texts are drawn in it
    const char* family;    // the installed family that draws every character of them
};

// Also the test's name in CTest.
std::ostream& operator<<(std::ostream& out, const StandIn& standIn)
{
    const bool placeholder = standIn.fontName.startsWithChar('<');
    return out << (placeholder ? juce::String("DefaultSans") : standIn.fontName.removeCharacters(" ")) << "_"
               << languageName(standIn.lang);
}

class FontStandInTest : public ::testing::TestWithParam<StandIn>
{
protected:
    void SetUp() override { ASSERT_EQ(missingFontFiles(), "") << "run scripts/setup.sh"; }

    ScopedDefaultLook look;
};

// One font for a whole language, with a glyph for every character, bold when bold is asked
// for: no empty boxes, no sentence mixing two fonts, no Regular heading.
TEST_P(FontStandInTest, DrawsEveryCharacterOfItsLanguageFromOneFaceInTheAskedWeight)
{
    const auto& standIn = GetParam();

    for (const int style : { (int)juce::Font::plain, (int)juce::Font::bold })
    {
        const bool bold = style == juce::Font::bold;
        const auto typeface = ScopedDefaultLook::typefaceFor(standIn.fontName, style);
        juce::StringArray noFont, otherFamily, wrongWeight;

        for (const auto c : drawnCharacters(standIn.lang))
        {
            const auto& member = memberFor(*typeface, c);
            const auto* face = dynamic_cast<const FreeTypeFace*>(member.typeface.get());
            ASSERT_NE(face, nullptr) << member.source;

            if (!member.hasGlyph(c) || glyphOf(*member.typeface, c) == 0)
                noFont.add(describe(c));
            else if (face->getName() != standIn.family)
                otherFamily.add(describe(c) + " from " + member.source);

            const bool drawnBold = face->getStyle().containsIgnoreCase("Bold") || face->isEmboldened();
            if (drawnBold != bold)
                wrongWeight.add(describe(c) + " from " + member.source);
        }

        const char* weight = bold ? " bold" : " plain";
        EXPECT_TRUE(noFont.isEmpty()) << weight << ": no glyph for " << noFont.joinIntoString(", ");
        EXPECT_TRUE(otherFamily.isEmpty())
            << weight << ": not " << standIn.family << ": " << otherFamily.joinIntoString(", ");
        EXPECT_TRUE(wrongWeight.isEmpty()) << weight << ": wrong weight: " << wrongWeight.joinIntoString(", ");
    }
}

INSTANTIATE_TEST_SUITE_P(
    TableFonts, FontStandInTest,
    ::testing::Values(StandIn{ "Verdana", LANG_EN, "DejaVu Sans" }, StandIn{ "Verdana", LANG_FR, "DejaVu Sans" },
                      StandIn{ "Verdana", LANG_DE, "DejaVu Sans" }, StandIn{ "Verdana", LANG_ES, "DejaVu Sans" },
                      StandIn{ "Verdana", LANG_IT, "DejaVu Sans" }, StandIn{ "Verdana", LANG_NL, "DejaVu Sans" },
                      StandIn{ "Helvetica Neue", LANG_RU, "Liberation Sans" },
                      StandIn{ "Verdana", LANG_PT, "DejaVu Sans" },
                      StandIn{ "Heiti SC", LANG_ZH_HANS, "Noto Sans CJK SC" },
                      StandIn{ "Heiti TC", LANG_ZH_HANT, "Noto Sans CJK TC" },
                      StandIn{ "Apple SD Gothic Neo", LANG_KO, "Noto Sans CJK KR" },
                      StandIn{ "Hiragino Sans W5", LANG_JA, "Noto Sans CJK JP" },
                      // The program's default sans-serif, through JUCE's placeholder name.
                      StandIn{ juce::Font::getDefaultSansSerifFontName(), LANG_JA, "Noto Sans CJK JP" }));

struct Region
{
    LangIdTable_t lang;
    int face;        // its face in the Noto CJK collections
    int anotherFace; // a region whose Han forms differ
};

std::ostream& operator<<(std::ostream& out, const Region& region) { return out << languageName(region.lang); }

class RegionalFormsTest : public ::testing::TestWithParam<Region>
{
protected:
    void SetUp() override { ASSERT_EQ(missingFontFiles(), "") << "run scripts/setup.sh"; }

    ScopedDefaultLook look;
};

// The Han characters of a Chinese or Japanese text have the shapes of that region: the face
// of the region is opened, not the first face of the collection.
TEST_P(RegionalFormsTest, HanCharactersHaveTheShapesOfTheLanguagesRegion)
{
    const auto& region = GetParam();

    for (const int style : { (int)juce::Font::plain, (int)juce::Font::bold })
    {
        const char* file = style == juce::Font::bold ? FontFiles::kNotoSansCjkBold : FontFiles::kNotoSansCjk;
        FreeTypeFace own("own", "", file, region.face, false);
        FreeTypeFace other("other", "", file, region.anotherFace, false);
        const auto typeface = ScopedDefaultLook::typefaceFor(StrRes::DEFAULT_FONT_MAC[region.lang], style);
        juce::StringArray otherShapes;
        int distinguishing = 0;

        for (const auto c : drawnCharacters(region.lang))
        {
            if (c < 0x4E00 || c > 0x9FFF)
                continue;

            const auto ownShape = outlineOf(own, c).toString();

            if (outlineOf(*typeface, c).toString() != ownShape)
                otherShapes.add(describe(c));

            if (outlineOf(other, c).toString() != ownShape)
                ++distinguishing;
        }

        EXPECT_GT(distinguishing, 5) << "the texts hardly tell the regions apart";
        EXPECT_TRUE(otherShapes.isEmpty()) << (style ? "bold" : "plain") << ": not the forms of face " << region.face
                                           << ": " << otherShapes.joinIntoString(", ");
    }
}

INSTANTIATE_TEST_SUITE_P(ChineseAndJapanese, RegionalFormsTest,
                         ::testing::Values(Region{ LANG_ZH_HANS, 2, 0 }, Region{ LANG_ZH_HANT, 3, 0 },
                                           Region{ LANG_JA, 0, 3 }));
} // namespace
