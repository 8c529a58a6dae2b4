#include "FontResolver.h"

#include "StrRes.h"

#include <iostream>

FontResolver::Description FontResolver::describe(const juce::String& family)
{
    struct Known
    {
        const char* family;
        const char* lookAlikes[2]; // families of the same design and proportions, most alike first
        const char* language;
    };

    // Helvetica Neue: the matcher knows Helvetica's metric-compatible families (TeX Gyre Heros,
    // Nimbus Sans, Liberation Sans, Arimo), not Helvetica Neue. Verdana: DejaVu Sans shares its
    // wide humanist design (Bitstream Vera's). The CJK names: the face of the name's region in
    // the pan-CJK families, which have a bold; without them the language leads the matcher to
    // that language's own fonts. No generic family is named: the matcher's own rules add the
    // generic of each family it knows, after the look-alikes (a generic named here would rank
    // its preferred fonts before the look-alikes' metric-compatible ones).
    static const Known known[] = {
        { "Verdana", { "DejaVu Sans", nullptr }, "" },
        { "Helvetica Neue", { "Helvetica", nullptr }, "" },
        { "Heiti SC", { "Noto Sans CJK SC", "Source Han Sans SC" }, "zh-cn" },
        { "Heiti TC", { "Noto Sans CJK TC", "Source Han Sans TC" }, "zh-tw" },
        { "Apple SD Gothic Neo", { "Noto Sans CJK KR", "Source Han Sans KR" }, "ko" },
        { "Hiragino Sans W5", { "Noto Sans CJK JP", "Source Han Sans JP" }, "ja" },
        { "Hiragino Maru Gothic Pro W4", { "Noto Sans CJK JP", "Source Han Sans JP" }, "ja" },
        { "SimHei", { "Noto Sans CJK SC", "Source Han Sans SC" }, "zh-cn" },
        { "Batang", { "Noto Serif CJK KR", "Source Han Serif KR" }, "ko" },
        { "MS PGothic", { "Noto Sans CJK JP", "Source Han Sans JP" }, "ja" },
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
