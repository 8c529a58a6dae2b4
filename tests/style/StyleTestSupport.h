#pragma once

#include "LangLookAndFeel.h"

#include <juce_gui_basics/juce_gui_basics.h>

// The main window's background, which its buttons are given as their colour.
inline const juce::Colour kWindowGrey{ 0xFFEAEAEA };

// Delivers every message already posted to the message thread (clicks, async updates).
void dispatchPendingMessages();

// The component drawn on its own into a transparent ARGB image of its size.
juce::Image renderComponent(juce::Component& component);

// An empty, transparent ARGB image.
juce::Image blankImage(int width, int height);

// The largest difference of one channel (A, R, G, B) between two colours.
int channelDistance(juce::Colour a, juce::Colour b);

// Number of pixels in which two images of the same size differ by more than tolerance.
int countDifferentPixels(const juce::Image& a, const juce::Image& b, int tolerance = 0);

// Gives a button the window's grey, off and on.
void useWindowGrey(juce::Button& button);

// An AlineButton drawn by hand from its parts, at the button's size: the BtnLookAndFeel
// background, the caption inset by 4 in font, and the focus mark if asked for.
juce::Image expectedButton(juce::Button& button, juce::Colour background, const juce::String& caption,
                           const juce::Font& font, bool focusMark = false);

// Makes a LangLookAndFeel the default look, with the program's default sans-serif name, as
// the main window does; restores the framework's own look afterwards.
class ScopedLangLookAsDefault
{
public:
    ScopedLangLookAsDefault();
    ~ScopedLangLookAsDefault();

    LangLookAndFeel& look() { return m_look; }

private:
    LangLookAndFeel m_look;
};
