#pragma once

#include "LangLookAndFeel.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <vector>

// The main window's background, which its buttons are given as their colour.
inline const juce::Colour kWindowGrey{ 0xFFEAEAEA };

// Delivers every message already posted to the message thread (clicks, async updates).
void dispatchPendingMessages();

// An empty, transparent ARGB image; a component drawn on its own into one of its size.
juce::Image blankImage(int width, int height);
juce::Image renderComponent(juce::Component& component);

// The largest difference of one channel (A, R, G, B) between two colours.
int channelDistance(juce::Colour a, juce::Colour b);

// Whether two images have the same size and pixels.
bool sameImage(const juce::Image& a, const juce::Image& b);

// The smallest rectangle holding every pixel for which isInk is true (empty when none is).
juce::Rectangle<int> inkBounds(const juce::Image& image, const std::function<bool(juce::Colour)>& isInk);

// Makes a LangLookAndFeel the default look, with the program's default sans-serif name, as the
// main window does; restores the framework's own look afterwards. As the default look it
// resolves every font, so it can tell which fonts a drawing asks for, whatever fonts are
// installed here.
class ScopedLangLookAsDefault
{
public:
    ScopedLangLookAsDefault();
    ~ScopedLangLookAsDefault();

    LangLookAndFeel& look() { return m_look; }
    // The fonts that draw asks to be resolved (with the typeface cache cleared first).
    std::vector<juce::Font> fontsAskedFor(const std::function<void()>& draw);

private:
    struct RecordingLook : LangLookAndFeel
    {
        juce::Typeface::Ptr getTypefaceForFont(const juce::Font& font) override;
        std::vector<juce::Font> asked;
    };
    RecordingLook m_look;
};

// Whether fonts holds one of that typeface name, height and boldness.
bool asksFor(const std::vector<juce::Font>& fonts, const juce::String& name, float height, bool bold = false);
