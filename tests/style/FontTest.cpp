// The stand-ins for the fonts of the text tables. By default on the fonts of a desktop with the
// program's font packages, where the Chinese and Korean faces of the Noto CJK collections are
// not the first of their files; with QEL_PRINTING_FONT_SET on those and Ghostscript's fonts,
// which make Nimbus Sans the Helvetica; with QEL_BARE_FONT_SET on the fewest fonts the program
// needs, where Han and kana come from one regular face only.
#include "FallbackTypeface.h"
#include "FreeTypeFace.h"
#include "Loader.h"
#include "StrRes.h"
#include "StyleTestSupport.h"
#include "TempFolder.h"
#include "TextFormat.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include <unistd.h>

namespace
{
const juce::String kNotoCjk = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";
const juce::String kNotoCjkBold = "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc";

// The font set names its tests. Per language: the installed family that draws its texts; the one
// that draws their characters below U+2E80 (Latin letters, digits, signs); the face of its region
// in the Noto CJK collections.
#ifdef QEL_BARE_FONT_SET
#define FONT_SET BareFontSet
const char *const kDejaVu = "DejaVu Sans", *const kDroid = "Droid Sans Fallback", *const kNanum = "NanumGothic";
const char* const kFamily[LANG_MAX] = { kDejaVu, kDejaVu, kDejaVu, kDejaVu, kDejaVu, kDejaVu,
                                        kDejaVu, kDejaVu, kDroid,  kDroid,  kNanum,  kDroid };
const char* const kLatin[LANG_MAX] = { kDejaVu, kDejaVu, kDejaVu, kDejaVu, kDejaVu, kDejaVu,
                                       kDejaVu, kDejaVu, kDejaVu, kDejaVu, kNanum,  kDejaVu };
const int kRegionFace[LANG_MAX] = { -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1 };
#else
#ifdef QEL_PRINTING_FONT_SET
#define FONT_SET PrintingDesktopFontSet
const char* const kHelvetica = "Nimbus Sans";
#else
#define FONT_SET DesktopFontSet
const char* const kHelvetica = "Liberation Sans";
#endif
const char* const kFamily[LANG_MAX] = {
    "DejaVu Sans", "DejaVu Sans", "DejaVu Sans",      "DejaVu Sans",      "DejaVu Sans",      "DejaVu Sans",
    kHelvetica,    "DejaVu Sans", "Noto Sans CJK SC", "Noto Sans CJK TC", "Noto Sans CJK KR", "Noto Sans CJK JP"
};
const char* const (&kLatin)[LANG_MAX] = kFamily;
const int kRegionFace[LANG_MAX] = { -1, -1, -1, -1, -1, -1, -1, -1, 2, 3, -1, 0 };
#endif

// Every text of a language: its display name and its interface texts.
juce::StringArray textsOf(int lang)
{
    auto* texts = TxtLoader::getInstance();
    texts->setLocale((LangIdTable_t)lang);
    juce::StringArray all(texts->getLang((LangIdTable_t)lang));
    for (int id = 0; id < STRID_MAX; ++id)
        all.add(texts->getString((StrIdTable_t)id));
    TxtLoader::releaseInstance();
    return all;
}

// The characters of a language's texts, whitespace left out.
std::set<juce::juce_wchar> charactersOf(int lang)
{
    std::set<juce::juce_wchar> characters;
    for (const auto& text : textsOf(lang))
        for (auto p = text.getCharPointer(); !p.isEmpty();)
            if (const auto c = p.getAndAdvance(); !juce::CharacterFunctions::isWhitespace(c))
                characters.insert(c);
    return characters;
}

// The glyph that typeface gives the one character c (0: its "missing" box) and its outline.
std::pair<int, juce::Path> glyphOf(juce::Typeface& typeface, juce::juce_wchar c)
{
    juce::Array<int> glyphs;
    juce::Array<float> offsets;
    juce::Path outline;
    typeface.getGlyphPositions(juce::String::charToString(c), glyphs, offsets);
    typeface.getOutlineForGlyph(glyphs[0], outline);
    return { glyphs[0], outline };
}
} // namespace

// One face for a whole language, with a glyph for every character, bold (a bold face, or a
// regular one thickened) when bold is asked for: no empty boxes, no sentence mixing two fonts,
// no regular heading; Han characters in the shapes of the language's region (the face of the
// region, whose Han forms differ from another region's).
TEST(FONT_SET, standInsDrawEveryCharacterOfTheirLanguageFromOneFaceInTheAskedWeight)
{
    for (const juce::File file : kFontFiles)
        ASSERT_TRUE(file.existsAsFile()) << file.getFullPathName() << ": run scripts/setup.sh";
    ScopedLangLook look;
    for (int row = 0; row <= LANG_MAX; ++row) // the last: the program's default sans-serif, for Japanese
    {
        const int lang = row < LANG_MAX ? row : LANG_JA;
        const auto name = row < LANG_MAX ? StrRes::DEFAULT_FONT_MAC[lang] : juce::Font::getDefaultSansSerifFontName();
        const auto characters = charactersOf(lang);
        const auto plain = juce::Font(name, 13.0f, juce::Font::plain).getTypefacePtr();
        for (const bool bold : { false, true })
        {
            const auto typeface = juce::Font(name, 13.0f, bold ? juce::Font::bold : juce::Font::plain).getTypefacePtr();
            auto& chain = dynamic_cast<FallbackTypeface&>(*typeface);
            const auto& file = bold ? kNotoCjkBold : kNotoCjk;
            FreeTypeFace other("", "", file, lang == LANG_JA ? 3 : 0, false); // a face of another region
            juce::StringArray wrong;
            int unlikeOtherRegion = 0;
            for (const auto c : characters)
            {
                const auto& member = chain.getFace(chain.findFaceFor(c));
                auto& face = dynamic_cast<FreeTypeFace&>(*member.typeface);
                const auto outline = glyphOf(chain, c).second;
                const bool thick = face.getStyle().contains("Bold") ||
                                   (face.isEmboldened() &&
                                    outline.getBounds().getWidth() > glyphOf(*plain, c).second.getBounds().getWidth());
                unlikeOtherRegion += kRegionFace[lang] >= 0 && c >= 0x4E00 && c <= 0x9FFF &&
                                     outline.toString() != glyphOf(other, c).second.toString();
                if (!member.hasGlyph(c) || glyphOf(face, c).first == 0 ||
                    face.getName() != (c < 0x2E80 ? kLatin : kFamily)[lang] || thick != bold ||
                    (kRegionFace[lang] >= 0 && face.getFaceIndex() != kRegionFace[lang]))
                    wrong.add("U+" + juce::String::toHexString((int)c) + " " + juce::String::charToString(c) +
                              " from " + member.source);
            }
            EXPECT_TRUE(kRegionFace[lang] < 0 || unlikeOtherRegion > 5) << name << ": the regions' Han forms alike";
            EXPECT_TRUE(wrong.isEmpty()) << name << (bold ? " bold" : " plain") << " for "
                                         << StrRes::LANGUAGE_SELECTION[lang] << ": " << wrong.joinIntoString(", ");
        }
    }
}

// The edge tables that fill the glyphs on screen (what the glyph cache asks for: the outline scaled
// to the font height, at the origin), at the heights the screens draw the CJK texts at, plain and
// bold: each lies within a box of a few heights around the origin and covers about as much as its
// outline (vertical hinting stretches a glyph by at most a tenth). JUCE hints a glyph by measures
// of its face's Latin letters; a face without them (Droid Sans Fallback) gave points that are not
// numbers, and the character drew as nothing or as fragments.
TEST(FONT_SET, cjkCharactersAreDrawnWholeAtTheHeightsOfTheScreens)
{
    struct Ink // the pixels an edge table covers
    {
        double pixels = 0.0;
        void setEdgeTableYPos(int) {}
        void handleEdgeTablePixel(int, int level) { pixels += level / 255.0; }
        void handleEdgeTablePixelFull(int) { pixels += 1.0; }
        void handleEdgeTableLine(int, int width, int level) { pixels += width * level / 255.0; }
        void handleEdgeTableLineFull(int, int width) { pixels += width; }
    };
    const auto inkOf = [](const juce::EdgeTable& table)
    {
        Ink ink;
        table.iterate(ink);
        return ink.pixels;
    };
    ScopedLangLook look;
    // The texts and the buttons' captions 13; the closed language box 15 (0.85 of its 20, at most
    // 15); the items of its menu 18 / 1.3 (the box's label, 18 high, sets their height).
    const float heights[] = { 13.0f, 15.0f, 18.0f / 1.3f };
    for (const auto lang : { LANG_ZH_HANS, LANG_ZH_HANT, LANG_JA })
    {
        const auto characters = charactersOf(lang);
        for (const float height : heights)
            for (const int style : { juce::Font::plain, juce::Font::bold })
            {
                const auto typeface = juce::Font(StrRes::DEFAULT_FONT_MAC[lang], height, style).getTypefacePtr();
                const auto box = juce::Rectangle<int>(-2, -2, 4, 4) * (int)height;
                const auto scale = juce::AffineTransform::scale(height);
                juce::StringArray wrong;
                for (const auto c : characters)
                {
                    const auto [glyph, outline] = glyphOf(*typeface, c);
                    const std::unique_ptr<juce::EdgeTable> drawn(typeface->getEdgeTableForGlyph(glyph, scale, height));
                    const double expected = inkOf(juce::EdgeTable(box, outline, scale));
                    const double ink =
                        drawn != nullptr && box.contains(drawn->getMaximumBounds()) ? inkOf(*drawn) : 0.0;
                    if (!(expected > 0.0 && std::abs(ink - expected) < 0.15 * expected))
                        wrong.add(juce::String::charToString(c) + " " + juce::String(ink, 1) + " of " +
                                  juce::String(expected, 1) + " px" +
                                  (drawn == nullptr ? "" : " in " + drawn->getMaximumBounds().toString()));
                }
                EXPECT_TRUE(wrong.isEmpty())
                    << StrRes::DEFAULT_FONT_MAC[lang] << " " << height << (style == juce::Font::bold ? " bold: " : ": ")
                    << wrong.size() << " of " << characters.size() << " wrong: " << wrong.joinIntoString(", ");
            }
    }
}

// Laying out a language's texts opens the faces that draw their characters (and the first, for
// the metrics), no other: Verdana's chain holds the CJK collections, which English never needs.
TEST(FONT_SET, layingOutOpensOnlyTheFacesTheCharactersNeed)
{
    ScopedLangLook look;
    for (const auto lang : { LANG_EN, LANG_RU, LANG_JA })
    {
        const juce::Font font(StrRes::DEFAULT_FONT_MAC[lang], 13.0f, juce::Font::plain);
        auto& chain = dynamic_cast<FallbackTypeface&>(*font.getTypefacePtr());
        std::set<int> needed{ 0 };
        for (const auto& text : textsOf(lang))
        {
            juce::GlyphArrangement glyphs;
            glyphs.addFittedText(font, text, 0.0f, 0.0f, 364.0f, 106.0f, juce::Justification::topLeft, 8, 0.0f);
            juce::Path path;
            glyphs.createPath(path);
            for (auto p = text.getCharPointer(); !p.isEmpty();)
                needed.insert(chain.findFaceFor(p.getAndAdvance()));
        }
        EXPECT_LT(needed.size(), (size_t)chain.getNumFaces());
        for (int i = 0; i < chain.getNumFaces(); ++i)
            EXPECT_EQ(dynamic_cast<FreeTypeFace&>(*chain.getFace(i).typeface).hasBeenOpened(), needed.count(i) > 0)
                << font.getTypefaceName() << ": " << chain.getFace(i).source;
    }
}

#ifdef QEL_BARE_FONT_SET
// Where no installed font has a language's characters, resolving its font name says so in one
// line, whatever styles are asked for; a name whose characters all have a font says nothing.
TEST(FONT_SET, namesWithoutFontsForTheirCharactersWarnOnce)
{
    TempFolder folder;
    const auto previous = juce::SystemStats::getEnvironmentVariable("FONTCONFIG_FILE", {});
    usePrivateFontSet(folder, { kFontFiles[0] }); // DejaVu Sans alone
    testing::internal::CaptureStderr();
    {
        ScopedLangLook look;
        for (const char* name : { "Hiragino Sans W5", "Verdana" })
            for (const int style : { juce::Font::plain, juce::Font::bold, juce::Font::italic })
                juce::Font(name, 13.0f, style).getTypefacePtr();
    }
    const auto lines = juce::StringArray::fromLines(juce::String(testing::internal::GetCapturedStderr()).trim());
    setenv("FONTCONFIG_FILE", previous.toRawUTF8(), 1);
    ASSERT_EQ(lines.size(), 1) << lines.joinIntoString("\n");
    EXPECT_TRUE(lines[0].contains("\"Hiragino Sans W5\"")) << lines[0];
}
#endif

#ifdef QEL_BARE_FONT_SET
// A font file whose name is not UTF-8 (one a user copied from another system) is left out: JUCE
// would copy its path past the room it makes for it. Its bold sibling serves.
TEST(FONT_SET, fontWhoseFileNameIsNotUtf8IsLeftOut)
{
    TempFolder folder;
    const auto previous = juce::SystemStats::getEnvironmentVariable("FONTCONFIG_FILE", {});
    usePrivateFontSet(folder, { kFontFiles[1] }); // DejaVu Sans Bold
    const auto renamed = folder.child("fonts").getFullPathName().toStdString() + "/DejaVu Sans \xE0 la main.ttf";
    ASSERT_EQ(::symlink(kFontFiles[0].toRawUTF8(), renamed.c_str()), 0);
    {
        ScopedLangLook look;
        const auto typeface = juce::Font("Verdana", 13.0f, juce::Font::plain).getTypefacePtr();
        auto& chain = dynamic_cast<FallbackTypeface&>(*typeface);
        ASSERT_GT(chain.getNumFaces(), 0);
        for (int i = 0; i < chain.getNumFaces(); ++i)
            EXPECT_TRUE(juce::File(dynamic_cast<FreeTypeFace&>(*chain.getFace(i).typeface).getFile()).existsAsFile())
                << chain.getFace(i).source;
        EXPECT_GT(typeface->getStringWidth("QEL-720"), 0.0f);
    }
    setenv("FONTCONFIG_FILE", previous.toRawUTF8(), 1);
}
#endif

#ifndef QEL_BARE_FONT_SET
// The headings laid out as the screens lay them out (the language's font, 13 high, bold, in the
// main area 364 wide) take one line: a wrapped heading pushes the text below it under the
// progress bar. A heading followed by a line break is laid out at its natural width; the others
// may be squeezed to 0.7 of it.
TEST(FONT_SET, russianItalianAndGermanHeadingsTakeOneLine)
{
    ScopedLangLook look;
    for (const auto lang : { LANG_RU, LANG_IT, LANG_DE })
        for (const auto& [table, ending] : { std::pair{ StrRes::STR_0005, "\n\n" }, std::pair{ StrRes::STR_0009, "" },
                                             std::pair{ StrRes::STR_0012, "\n\n" } })
        {
            const auto text = table[lang].replace("%s", "QEL-720");
            juce::GlyphArrangement glyphs;
            glyphs.addFittedText(juce::Font(StrRes::DEFAULT_FONT_MAC[lang], 13.0f, juce::Font::bold), text + ending,
                                 20.0f, 20.0f, 364.0f, 106.0f, juce::Justification::topLeft, 8, 0.0f);
            EXPECT_LT(glyphs.getBoundingBox(0, -1, false).getHeight(), 20.0f) << text;
        }
}
#endif

// The blocks of more than one line, laid out as the screens lay them out (13 apart), keep a clear
// pixel between the ink of one line and the next, and the capitals of the Latin and Cyrillic
// fonts start where Verdana's do: letters a size too large touch across lines. The CJK fonts'
// line is their em box, which their glyphs nearly fill (on macOS too): theirs must not overlap.
TEST(FONT_SET, linesOfTheScreensStayApart)
{
    ScopedLangLook look;
    const auto capitalTop = [](const juce::String& name)
    {
        juce::GlyphArrangement glyphs;
        glyphs.addLineOfText(juce::Font(name, 13.0f, juce::Font::bold), "HE", 0.0f, 0.0f);
        juce::Path path;
        glyphs.createPath(path);
        return path.getBounds().getY() + juce::Font(name, 13.0f, juce::Font::bold).getAscent();
    };
    for (int lang = 0; lang < LANG_MAX; ++lang)
    {
        const auto& name = StrRes::DEFAULT_FONT_MAC[lang];
        const bool cjk = lang >= LANG_ZH_HANS;
        if (!cjk)
        {
            EXPECT_NEAR(capitalTop(name), capitalTop("Verdana"), 1.0f) << name;
        }
        const auto format = [lang](const juce::String* table, const char* version)
        { return TextFormat::format(table[lang], "1", version); };
        const struct
        {
            juce::String text;
            bool bold;
            float width;
        } blocks[] = {
            { format(StrRes::STR_0010, "05") + "\n" + format(StrRes::STR_0011, "10"), false, 344.0f },
            { "Update Contents:\n\t+-- DSP PROGRAM UPDATE\n\t+-- DSP DATA UPDATE", true, 364.0f },
            { StrRes::STR_0015[lang] + "\n" + StrRes::STR_0016[lang], false, 279.0f },
            { StrRes::STR_0014[lang].replace("%s", "QEL-720"), false, 364.0f },
        };
        for (const auto& block : blocks)
        {
            juce::GlyphArrangement glyphs;
            glyphs.addFittedText(juce::Font(name, 13.0f, block.bold), block.text, 0.0f, 0.0f, block.width, 106.0f,
                                 juce::Justification::topLeft, 8, 0.0f);
            std::map<float, juce::Range<float>> inkOfLine; // by baseline
            for (const auto& glyph : glyphs)
            {
                juce::Path path;
                glyph.createPath(path);
                const auto ink = path.getBounds();
                if (!ink.isEmpty())
                {
                    auto [line, added] = inkOfLine.try_emplace(glyph.getBaselineY(), ink.getY(), ink.getBottom());
                    line->second = line->second.getUnionWith({ ink.getY(), ink.getBottom() });
                }
            }
            for (auto line = inkOfLine.begin(); line != inkOfLine.end() && std::next(line) != inkOfLine.end(); ++line)
                EXPECT_GE(std::next(line)->second.getStart() - line->second.getEnd(), cjk ? 0.0f : 1.0f)
                    << name << (block.bold ? " bold: " : ": ") << block.text;
        }
    }
}

// A thread per language font laying out and outlining every text at once: the chains share faces
// (Verdana's seven languages one chain), so the threads load glyphs of the same faces together. A
// new look each round, so that the first loads race again.
TEST(FONT_SET, threadsLayingOutEveryTextAtOnce)
{
    juce::StringArray texts;
    for (int lang = 0; lang < LANG_MAX; ++lang)
        texts.addArray(textsOf(lang));
    for (int round = 0; round < 3; ++round)
    {
        ScopedLangLook look;
        std::atomic<int> waiting{ LANG_MAX }, glyphCount{ 0 };
        std::vector<std::thread> threads;
        for (int t = 0; t < LANG_MAX; ++t)
            threads.emplace_back(
                [&, t]
                {
                    for (--waiting; waiting > 0;)
                        std::this_thread::yield();
                    for (int i = 0; i < texts.size(); ++i)
                    {
                        juce::GlyphArrangement glyphs;
                        glyphs.addFittedText(juce::Font(StrRes::DEFAULT_FONT_MAC[t], 13.0f, (i + t) % 2), texts[i],
                                             0.0f, 0.0f, 364.0f, 106.0f, juce::Justification::topLeft, 8, 0.0f);
                        juce::Path path;
                        glyphs.createPath(path);
                        glyphCount += glyphs.getNumGlyphs();
                    }
                });
        for (auto& thread : threads)
            thread.join();
        EXPECT_GT(glyphCount, LANG_MAX * 1000);
    }
}
