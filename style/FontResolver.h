#pragma once

#include "FallbackTypeface.h"

#include <juce_graphics/juce_graphics.h>

#include <map>
#include <memory>
#include <set>

// Turns a font name and style into a typeface that the installed fonts can draw.
//
// The font names of the text tables name macOS fonts ("Verdana", "Helvetica Neue", "Heiti TC",
// "Hiragino Sans W5", ...) that other systems do not have. Each name is described to the
// system's font matcher by what it is (describe(): its look-alike families and, for CJK
// fonts, its language, so that Han characters take the shapes of that region);
// the matcher ranks the installed fonts for that description, the style and the weight, and a
// FallbackTypeface is built over the ranking: every character is drawn by the first font that
// has it. A bold request that only a regular face can serve gets that face emboldened.
//
// The first time a name is resolved, the characters of the table texts drawn in that name that
// no installed font has are reported in one line on the standard error stream.
//
// Threading: resolve() may be called from any thread; a lock guards the cache and the font
// matcher. The typefaces it returns may be used from any thread.
// Ownership: owned by the look-and-feel that resolves fonts. The typefaces it returns are
// reference-counted and stay valid after the resolver is gone.
class FontResolver
{
public:
    // What a font name stands for, in the font matcher's terms.
    struct Description
    {
        juce::StringArray families; // the name itself first, then its look-alikes
        juce::String language;      // e.g. "zh-tw"; empty for names without a preference
    };

    FontResolver();
    ~FontResolver();

    // family may be empty (the system's default sans-serif). Never returns null.
    juce::Typeface::Ptr resolve(const juce::String& family, bool bold, bool italic);

    static Description describe(const juce::String& family);

private:
    // The platform part (FontResolver_<platform>.cpp): the ordered chain for one request,
    // called with m_lock held.
    struct Platform;
    std::vector<FallbackTypeface::Face> buildChain(const Description& description, bool bold, bool italic);

    void reportMissingCharacters(const juce::String& family, const FallbackTypeface& typeface);

    juce::CriticalSection m_lock;
    std::map<juce::String, juce::Typeface::Ptr> m_cache; // key: family, style
    std::set<juce::String> m_checkedFamilies;            // names whose table texts were checked
    std::unique_ptr<Platform> m_pPlatform;               // created by the first buildChain

    JUCE_DECLARE_NON_COPYABLE(FontResolver)
};
