// The fonts the program needs at the least: DejaVu Sans, Droid Sans Fallback (Han and kana, in
// one weight only) and Nanum Gothic.
#include "FontTestSupport.h"
#include "FreeTypeFace.h"
#include "StrRes.h"

#include <gtest/gtest.h>

juce::StringArray privateFontFiles()
{
    using namespace FontFiles;
    return { kDejaVuSans, kDejaVuSansBold, kDroidSansFallback, kNanumGothic, kNanumGothicBold };
}

namespace
{
struct Language
{
    LangIdTable_t lang;
};

// Also the test's name in CTest.
std::ostream& operator<<(std::ostream& out, const Language& language) { return out << languageName(language.lang); }

class BareFontSetTest : public ::testing::TestWithParam<Language>
{
protected:
    void SetUp() override { ASSERT_EQ(missingFontFiles(), "") << "run scripts/setup.sh"; }

    ScopedDefaultLook look;
};

// Every character has a glyph, and bold is drawn bold: by a bold face, or, where the only face
// that has the character is regular (Droid Sans Fallback), by that face thickened.
TEST_P(BareFontSetTest, EveryCharacterHasAGlyphAndBoldIsThicker)
{
    const auto lang = GetParam().lang;
    const juce::String& name = StrRes::DEFAULT_FONT_MAC[lang];
    const auto plain = ScopedDefaultLook::typefaceFor(name, juce::Font::plain);
    const auto bold = ScopedDefaultLook::typefaceFor(name, juce::Font::bold);
    juce::StringArray noGlyph, notBold;

    for (const auto c : drawnCharacters(lang))
    {
        const auto& member = memberFor(*bold, c);
        const auto* face = dynamic_cast<const FreeTypeFace*>(member.typeface.get());
        ASSERT_NE(face, nullptr) << member.source;

        if (!member.hasGlyph(c) || glyphOf(*member.typeface, c) == 0 || glyphOf(*memberFor(*plain, c).typeface, c) == 0)
        {
            noGlyph.add(describe(c));
            continue;
        }

        const auto boldBounds = outlineOf(*bold, c).getBounds();
        const auto plainBounds = outlineOf(*plain, c).getBounds();

        if (!face->getStyle().containsIgnoreCase("Bold") && boldBounds.getWidth() <= plainBounds.getWidth())
            notBold.add(describe(c) + " from " + member.source);
    }

    EXPECT_TRUE(noGlyph.isEmpty()) << name << ": no glyph for " << noGlyph.joinIntoString(", ");
    EXPECT_TRUE(notBold.isEmpty()) << name << ": bold drawn regular: " << notBold.joinIntoString(", ");
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, BareFontSetTest,
                         ::testing::Values(Language{ LANG_EN }, Language{ LANG_FR }, Language{ LANG_DE },
                                           Language{ LANG_ES }, Language{ LANG_IT }, Language{ LANG_NL },
                                           Language{ LANG_RU }, Language{ LANG_PT }, Language{ LANG_ZH_HANS },
                                           Language{ LANG_ZH_HANT }, Language{ LANG_KO }, Language{ LANG_JA }));
} // namespace
