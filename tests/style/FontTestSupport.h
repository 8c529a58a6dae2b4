#pragma once

#include "FallbackTypeface.h"
#include "LangLookAndFeel.h"
#include "Loader.h"
#include "TempFolder.h"

#include <juce_gui_basics/juce_gui_basics.h>

// Font tests run on a private font set: a fontconfig configuration of the test program's own
// (in its mkdtemp folder) that holds only the font files the program names, with the
// machine's font rules. FontTestMain.cpp sets it up before anything starts fontconfig.

// The installed font files that the font sets are made of (Debian packages of scripts/setup.sh).
namespace FontFiles
{
inline const char* const kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline const char* const kDejaVuSansBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
inline const char* const kLiberationSans = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
inline const char* const kLiberationSansBold = "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf";
inline const char* const kDroidSansFallback = "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf";
inline const char* const kNanumGothic = "/usr/share/fonts/truetype/nanum/NanumGothic.ttf";
inline const char* const kNanumGothicBold = "/usr/share/fonts/truetype/nanum/NanumGothicBold.ttf";
// Collections of the faces JP (0), KR (1), SC (2), TC (3), HK (4) and their monospaced forms.
inline const char* const kNotoSansCjk = "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc";
inline const char* const kNotoSansCjkBold = "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc";
} // namespace FontFiles

// Defined by each font test program: the font files of its private font set.
juce::StringArray privateFontFiles();

// Writes the configuration into folder, links the files into a font folder beside it and points
// FONTCONFIG_FILE at it. Call before anything initialises fontconfig.
void usePrivateFontSet(const TempFolder& folder, const juce::StringArray& files);

// The files of privateFontFiles() that are not installed, as a readable list; empty if none.
juce::String missingFontFiles();

// Every text of the tables in one language: its display name and its interface texts.
juce::StringArray tableTexts(LangIdTable_t lang);

// Every character of those texts that is drawn (not whitespace), each once.
juce::Array<juce::juce_wchar> drawnCharacters(LangIdTable_t lang);

juce::String describe(juce::juce_wchar c);

// The language's English name, one word, for test names ("TraditionalChinese").
std::string languageName(LangIdTable_t lang);

// The language look as the main window sets it up: the program's default sans-serif name, made
// the default look, the typeface cache cleared. Restores JUCE's own look when it goes.
class ScopedDefaultLook
{
public:
    ScopedDefaultLook();
    ~ScopedDefaultLook();

    // The typeface that the default look resolves for the font.
    static juce::Typeface::Ptr typefaceFor(const juce::String& name, int style);

private:
    LangLookAndFeel m_look;
};

// The chain member of typeface (a FallbackTypeface) that draws c.
const FallbackTypeface::Face& memberFor(juce::Typeface& typeface, juce::juce_wchar c);

// The outline that typeface draws for c (empty for no glyph).
juce::Path outlineOf(juce::Typeface& typeface, juce::juce_wchar c);

// The glyph number the typeface gives c (0 is the font's "missing" box).
int glyphOf(juce::Typeface& typeface, juce::juce_wchar c);
