#pragma once

#include "FallbackTypeface.h"

#include <juce_graphics/juce_graphics.h>

#include <map>
#include <memory>

// Turns a font name and style into a typeface that the installed fonts can draw.
//
// The font names of the text tables name macOS fonts ("Verdana", "Heiti SC", "Hiragino Sans
// W5", ...) that other systems do not have. For each name and style this asks the system's
// font matcher for its ordered list of installed fonts, with a language hint for the names
// of CJK fonts, so that Han characters take the shapes of the intended language, and builds a
// FallbackTypeface over that list: every character is drawn by the first font that has it,
// bold by a bold face where one exists.
//
// Threading: resolve() may be called from any thread; a lock guards the cache.
// Ownership: owned by the look-and-feel that resolves fonts. The typefaces it returns are
// reference-counted and stay valid after the resolver is gone.
class FontResolver
{
public:
    FontResolver();
    ~FontResolver();

    // family may be empty (the system's default sans-serif). Never returns null.
    juce::Typeface::Ptr resolve(const juce::String& family, bool bold, bool italic);

    // The language whose glyph shapes a font name stands for ("zh-cn" for "Heiti SC"), in the
    // form the font matcher takes; empty for names without a preference.
    static juce::String languageHintFor(const juce::String& family);

private:
    // The platform part (FontResolver_<platform>.cpp): the ordered chain for one request,
    // called with m_lock held.
    struct Platform;
    std::vector<FallbackTypeface::Face> buildChain(const juce::String& family, const juce::String& language, bool bold,
                                                   bool italic);

    juce::CriticalSection m_lock;
    std::map<juce::String, juce::Typeface::Ptr> m_cache; // key: family, style
    std::unique_ptr<Platform> m_pPlatform;               // created by the first buildChain

    JUCE_DECLARE_NON_COPYABLE(FontResolver)
};
