#include "FallbackTypeface.h"
#include "Loader.h"
#include "StrRes.h"
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

#include <set>

namespace
{
const juce::String* const kTables[] = {
    StrRes::DEFAULT_FONT_WIN, StrRes::DEFAULT_FONT_MAC, StrRes::LANGUAGE_SELECTION, StrRes::NULL_STR, StrRes::NAME_000,
    StrRes::NAME_001,         StrRes::STR_0000,         StrRes::STR_0001,           StrRes::STR_0002, StrRes::STR_0003,
    StrRes::STR_0004,         StrRes::STR_0005,         StrRes::STR_0006,           StrRes::STR_0007, StrRes::STR_0008,
    StrRes::STR_0009,         StrRes::STR_0010,         StrRes::STR_0011,           StrRes::STR_0012, StrRes::STR_0013,
    StrRes::STR_0014,         StrRes::STR_0015,         StrRes::STR_0016,
};

// Every character that some text of the tables, in any language, asks to be drawn.
std::set<juce::juce_wchar> allTableCharacters()
{
    std::set<juce::juce_wchar> characters;

    for (const auto* table : kTables)
        for (int lang = 0; lang < LANG_MAX; ++lang)
            for (auto p = table[lang].getCharPointer(); !p.isEmpty();)
                if (const auto c = p.getAndAdvance(); !juce::CharacterFunctions::isWhitespace(c))
                    characters.insert(c);

    return characters;
}

juce::Path outlineOf(juce::Typeface& typeface, juce::juce_wchar c)
{
    juce::Array<int> glyphs;
    juce::Array<float> offsets;
    typeface.getGlyphPositions(juce::String::charToString(c), glyphs, offsets);
    juce::Path path;

    if (glyphs.size() == 1)
        typeface.getOutlineForGlyph(glyphs[0], path);

    return path;
}

class FontCoverageTest : public ::testing::Test
{
protected:
    FallbackTypeface* resolve(const juce::String& name, int style)
    {
        resolved = fonts.look().getTypefaceForFont(juce::Font(name, 13.0f, style));
        return dynamic_cast<FallbackTypeface*>(resolved.get());
    }

    // Every font name that a text is drawn in: the tables' fonts and the program's default.
    static juce::StringArray fontNames()
    {
        juce::StringArray names;
        for (int lang = 0; lang < LANG_MAX; ++lang)
            names.addIfNotAlreadyThere(StrRes::DEFAULT_FONT_MAC[lang]);
        names.add(juce::Font::getDefaultSansSerifFontName());
        return names;
    }

    ScopedLangLookAsDefault fonts;
    juce::Typeface::Ptr resolved;
};

TEST_F(FontCoverageTest, EveryTableCharacterHasARealGlyphInEveryFontNamePlainAndBold)
{
    const auto characters = allTableCharacters();
    ASSERT_GT(characters.size(), 300u);

    for (const auto& name : fontNames())
    {
        for (int style : { (int)juce::Font::plain, (int)juce::Font::bold })
        {
            auto* typeface = resolve(name, style);
            ASSERT_NE(typeface, nullptr) << name;
            ASSERT_GT(typeface->getNumFaces(), 0) << name;
            juce::StringArray missing;

            for (auto c : characters)
            {
                const auto glyph = outlineOf(*typeface, c);
                // U+10FFFD is in no font: what a face draws for it is its "missing" box.
                const auto missingBox = outlineOf(*typeface->getFace(typeface->findFaceFor(c)).typeface, 0x10FFFD);
                if (!typeface->covers(c) || glyph.isEmpty() || glyph.toString() == missingBox.toString())
                    missing.add("U+" + juce::String::toHexString((int)c).toUpperCase());
            }

            EXPECT_TRUE(missing.isEmpty())
                << name << (style ? " bold" : "") << " has no glyph for " << missing.joinIntoString(" ");
        }
    }
}

TEST_F(FontCoverageTest, BoldStaysBoldForLatinCyrillicAndHangul)
{
    // The fonts installed with the program have bold faces for these scripts; Han and kana
    // come from a font without one.
    const juce::juce_wchar samples[] = { 'A', 0x00E9 /* é */, 0x0420 /* Р */, 0xD55C /* 한 */ };

    for (const auto& name : fontNames())
    {
        auto* bold = resolve(name, juce::Font::bold);
        ASSERT_NE(bold, nullptr);

        for (auto c : samples)
        {
            const auto& face = bold->getFace(bold->findFaceFor(c));
            EXPECT_TRUE(face.typeface->getStyle().containsIgnoreCase("Bold"))
                << name << " U+" << juce::String::toHexString((int)c) << " from " << face.source;
        }

        auto* plain = resolve(name, juce::Font::plain);
        ASSERT_NE(plain, nullptr);
        const auto& face = plain->getFace(plain->findFaceFor('A'));
        EXPECT_FALSE(face.typeface->getStyle().containsIgnoreCase("Bold")) << name << " from " << face.source;
    }
}

TEST_F(FontCoverageTest, MixedTextIsMeasuredAsTheSumOfItsRuns)
{
    auto* typeface = resolve(StrRes::DEFAULT_FONT_MAC[LANG_KO], juce::Font::plain);
    ASSERT_NE(typeface, nullptr);
    const juce::String latin("Ver. 1.02 ");
    const juce::String hangul = StrRes::LANGUAGE_SELECTION[LANG_KO];

    juce::Array<int> glyphs;
    juce::Array<float> offsets;
    typeface->getGlyphPositions(latin + hangul, glyphs, offsets);

    ASSERT_EQ(glyphs.size(), latin.length() + hangul.length());
    ASSERT_EQ(offsets.size(), glyphs.size() + 1);
    for (int i = 1; i < offsets.size(); ++i)
        EXPECT_GE(offsets[i], offsets[i - 1]);
    EXPECT_NEAR(offsets.getLast(), typeface->getStringWidth(latin + hangul), 1.0e-4f);
    EXPECT_NEAR(typeface->getStringWidth(latin + hangul),
                typeface->getStringWidth(latin) + typeface->getStringWidth(hangul), 0.05f);
}
} // namespace
