#pragma once

#include "LangLookAndFeel.h"

#include <functional>

// Each style test program runs on a private font set: a fontconfig configuration of its own (in
// its mkdtemp folder) that holds only these installed files (QEL_FONT_FILES of its build), with
// the machine's font rules. Its main() (StyleTestSupport.cpp) sets the set up before anything
// starts fontconfig.
inline const auto kFontFiles = juce::StringArray::fromTokens(QEL_FONT_FILES, false);

class TempFolder;

// Makes the font set of these files, in folder, the one that the next font matcher loaded uses
// (through FONTCONFIG_FILE).
void usePrivateFontSet(const TempFolder& folder, const juce::StringArray& files);

// Whether the program has a display, made ready for keyboard focus.
extern const bool g_hasDisplay;

// How the tests name a font: "typeface/height[/bold]".
inline juce::String font(const juce::String& typeface, float height, bool bold = false)
{
    return typeface + "/" + juce::String(height, 2) + (bold ? "/bold" : "");
}

// The language look made the default look with the program's default sans-serif name, as the
// main window sets it up; JUCE's own look again when it goes.
class ScopedLangLook : public LangLookAndFeel
{
public:
    ScopedLangLook()
    {
        setDefaultSansSerifTypefaceName("Hiragino Maru Gothic Pro W4");
        juce::LookAndFeel::setDefaultLookAndFeel(this);
        juce::Typeface::clearTypefaceCache();
    }
    ~ScopedLangLook() override { juce::LookAndFeel::setDefaultLookAndFeel(nullptr); }

    // The fonts that draw has resolved, typeface cache cleared first, joined by ", ".
    juce::String fontsAskedFor(const std::function<void()>& draw)
    {
        juce::Typeface::clearTypefaceCache();
        m_asked.clear();
        m_recording = true;
        draw();
        m_recording = false;
        return m_asked.joinIntoString(", ");
    }

    juce::Typeface::Ptr getTypefaceForFont(const juce::Font& font) override
    {
        if (m_recording)
            m_asked.add(::font(font.getTypefaceName(), font.getHeight(), font.isBold()));
        return LangLookAndFeel::getTypefaceForFont(font);
    }

private:
    bool m_recording = false; // set only on the message thread while no other thread draws
    juce::StringArray m_asked;
};
