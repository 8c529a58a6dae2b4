#pragma once

#include "FallbackTypeface.h"
#include "FreeTypeFace.h"

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
// has it. A bold request that only a regular face can serve gets that face emboldened. Each
// stand-in is drawn on the named font's line (its ascender plus descender, which is what a font
// height means on macOS), not on its own: families that share Helvetica's widths, say, differ
// in line by 12 %, which would make their letters differ in size by as much.
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
    // What a font name stands for, in the font matcher's terms, and the size of its letters.
    struct Description
    {
        juce::StringArray families; // the name itself first, then its look-alikes
        juce::String language;      // e.g. "zh-tw"; empty for names without a preference
        // The named font's line, regular and bold, in ems: every stand-in is drawn on it, so that
        // its letters have the named font's size whichever installed family stands in. Zero for
        // names without known metrics: the stand-ins keep their own.
        FreeTypeFace::Line line{}, boldLine{};
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
