#include "FontResolver.h"

#include "StrRes.h"

#include <iostream>

FontResolver::Description FontResolver::describe(const juce::String& family)
{
    // A font's line in font units: its hhea ascender and descender (as a positive depth).
    struct Metrics
    {
        int unitsPerEm, ascender, descender;
    };

    struct Known
    {
        const char* family;
        const char* lookAlikes[2]; // families of the same design and proportions, most alike first
        const char* language;
        Metrics regular, bold;
    };

    // Helvetica Neue: the matcher knows Helvetica's metric-compatible families (TeX Gyre Heros,
    // Nimbus Sans, Liberation Sans, Arimo), not Helvetica Neue. Verdana: DejaVu Sans shares its
    // wide humanist design (Bitstream Vera's). The CJK names: the face of the name's region in
    // the pan-CJK families, which have a bold; without them the language leads the matcher to
    // that language's own fonts. No generic family is named: the matcher's own rules add the
    // generic of each family it knows, after the look-alikes (a generic named here would rank
    // its preferred fonts before the look-alikes' metric-compatible ones).
    //
    // The metrics are the named fonts' own lines. The look-alikes' lines differ from them and
    // from each other: Nimbus Sans 1.00 em (its OpenType files; 1.37 its Type 1 files), Liberation
    // Sans 1.12, DejaVu Sans 1.16, against Helvetica Neue's 1.165 and Verdana's 1.215.
    //
    //   name                         units/em  ascender  descender  line (em)  bold line
    //   Verdana                          2048      2059        430      1.215  the same
    //   Helvetica Neue                   1000       952        213      1.165  975 + 217: 1.192
    //   Heiti SC, Heiti TC               1000       860        140      1.0    the same
    //   Apple SD Gothic Neo              1000       880        120      1.0    the same
    //   Hiragino Sans W5                 1000       880        120      1.0    the same
    //   Hiragino Maru Gothic Pro W4      1000       880        120      1.0    the same
    //   SimHei, Batang, MS PGothic       1000       880        120      1.0    the same
    //
    // The CJK fonts' line is their em box, its bottom 0.12 em below the baseline (Heiti's 0.14);
    // Hiragino's large line gap, which JUCE leaves out of a font's height, is not part of it.
    constexpr Metrics verdana{ 2048, 2059, 430 };
    constexpr Metrics helveticaNeue{ 1000, 952, 213 }, helveticaNeueBold{ 1000, 975, 217 };
    constexpr Metrics heiti{ 1000, 860, 140 }, emBox{ 1000, 880, 120 };

    static const Known known[] = {
        { "Verdana", { "DejaVu Sans", nullptr }, "", verdana, verdana },
        { "Helvetica Neue", { "Helvetica", nullptr }, "", helveticaNeue, helveticaNeueBold },
        { "Heiti SC", { "Noto Sans CJK SC", "Source Han Sans SC" }, "zh-cn", heiti, heiti },
        { "Heiti TC", { "Noto Sans CJK TC", "Source Han Sans TC" }, "zh-tw", heiti, heiti },
        { "Apple SD Gothic Neo", { "Noto Sans CJK KR", "Source Han Sans KR" }, "ko", emBox, emBox },
        { "Hiragino Sans W5", { "Noto Sans CJK JP", "Source Han Sans JP" }, "ja", emBox, emBox },
        { "Hiragino Maru Gothic Pro W4", { "Noto Sans CJK JP", "Source Han Sans JP" }, "ja", emBox, emBox },
        { "SimHei", { "Noto Sans CJK SC", "Source Han Sans SC" }, "zh-cn", emBox, emBox },
        { "Batang", { "Noto Serif CJK KR", "Source Han Serif KR" }, "ko", emBox, emBox },
        { "MS PGothic", { "Noto Sans CJK JP", "Source Han Sans JP" }, "ja", emBox, emBox },
    };

    const auto lineOf = [](const Metrics& metrics)
    {
        return FreeTypeFace::Line{ (float)metrics.ascender / (float)metrics.unitsPerEm,
                                   (float)metrics.descender / (float)metrics.unitsPerEm };
    };

    Description description;

    if (family.isNotEmpty())
        description.families.add(family);

    for (const auto& entry : known)
    {
        if (family == entry.family)
        {
            for (const char* lookAlike : entry.lookAlikes)
                if (lookAlike != nullptr)
                    description.families.add(lookAlike);

            description.language = entry.language;
            description.line = lineOf(entry.regular);
            description.boldLine = lineOf(entry.bold);
            break;
        }
    }

    return description;
}

juce::Typeface::Ptr FontResolver::resolve(const juce::String& family, bool bold, bool italic)
{
    const juce::String style = bold ? (italic ? "Bold Italic" : "Bold") : (italic ? "Italic" : "Regular");
    const juce::String key = family + "\n" + style;

    const juce::ScopedLock sl(m_lock);
    auto found = m_cache.find(key);

    if (found != m_cache.end())
        return found->second;

    auto* typeface = new FallbackTypeface(family, style, buildChain(describe(family), bold, italic));
    juce::Typeface::Ptr result(typeface);
    m_cache.emplace(key, result);

    if (m_checkedFamilies.insert(family).second)
        reportMissingCharacters(family, *typeface);

    return result;
}

void FontResolver::reportMissingCharacters(const juce::String& family, const FallbackTypeface& typeface)
{
    const juce::String* const tables[] = {
        StrRes::LANGUAGE_SELECTION, StrRes::NAME_000, StrRes::NAME_001, StrRes::STR_0000, StrRes::STR_0001,
        StrRes::STR_0002,           StrRes::STR_0003, StrRes::STR_0004, StrRes::STR_0005, StrRes::STR_0006,
        StrRes::STR_0007,           StrRes::STR_0008, StrRes::STR_0009, StrRes::STR_0010, StrRes::STR_0011,
        StrRes::STR_0012,           StrRes::STR_0013, StrRes::STR_0014, StrRes::STR_0015, StrRes::STR_0016,
    };

    std::set<juce::juce_wchar> missing;

    for (int lang = 0; lang < LANG_MAX; ++lang)
    {
        if (StrRes::DEFAULT_FONT_MAC[lang] != family)
            continue;

        for (const auto* table : tables)
        {
            for (auto p = table[lang].getCharPointer(); !p.isEmpty();)
            {
                const auto c = p.getAndAdvance();

                if (!juce::CharacterFunctions::isWhitespace(c) && !typeface.covers(c))
                    missing.insert(c);
            }
        }
    }

    if (missing.empty())
        return;

    constexpr size_t kShown = 20;
    juce::String shown;

    for (auto c : missing)
        if (shown.length() < (int)kShown)
            shown += juce::String::charToString(c);

    std::cerr << "FontResolver: no installed font has " << missing.size() << " characters of the texts in \"" << family
              << "\"; they draw as empty boxes: " << shown << (missing.size() > kShown ? " ..." : "") << "\n";
}
