#include "FontResolver.h"

juce::String FontResolver::languageHintFor(const juce::String& family)
{
    struct Hint
    {
        const char* family;
        const char* language;
    };

    static const Hint hints[] = {
        { "Heiti SC", "zh-cn" },
        { "Heiti TC", "zh-tw" },
        { "Apple SD Gothic Neo", "ko" },
        { "Hiragino Sans W5", "ja" },
        { "Hiragino Maru Gothic Pro W4", "ja" },
        { "SimHei", "zh-cn" },
        { "Batang", "ko" },
        { "MS PGothic", "ja" },
    };

    for (const auto& hint : hints)
        if (family == hint.family)
            return hint.language;

    return {};
}

juce::Typeface::Ptr FontResolver::resolve(const juce::String& family, bool bold, bool italic)
{
    const juce::String style = bold ? (italic ? "Bold Italic" : "Bold") : (italic ? "Italic" : "Regular");
    const juce::String key = family + "\n" + style;

    const juce::ScopedLock sl(m_lock);
    auto found = m_cache.find(key);

    if (found != m_cache.end())
        return found->second;

    juce::Typeface::Ptr typeface =
        new FallbackTypeface(family, style, buildChain(family, languageHintFor(family), bold, italic));
    m_cache.emplace(key, typeface);
    return typeface;
}
