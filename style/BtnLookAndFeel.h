#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The look of AlineButton: of LookAndFeel_V2 it replaces only the button background, a
// lozenge with round ends (flat where the button is connected to a neighbour), filled with
// a vertical white - darker - white gradient, or a fixed blue set while pressed, and outlined
// in a much darker shade of the button colour.
//
// Threading: message thread only (painting). Stateless.
// Ownership: each AlineButton creates, owns and deletes its own instance.
class BtnLookAndFeel : public juce::LookAndFeel_V2
{
public:
    void drawButtonBackground(juce::Graphics& g, juce::Button& button, const juce::Colour& backgroundColour,
                              bool isMouseOverButton, bool isButtonDown) override;

    // Draws the lozenge into (x, y, width, height). A negative cornerSize gives fully round
    // ends; nothing is drawn when the outline is as thick as the shape is wide or high.
    static void drawBackground(juce::Graphics& g, float x, float y, float width, float height,
                               const juce::Colour& colour, float outlineThickness, float cornerSize, bool flatOnLeft,
                               bool flatOnRight, bool flatOnTop, bool flatOnBottom, bool isButtonDown);

private:
    static juce::Path makeOutline(float x, float y, float width, float height, float cs, bool flatOnLeft,
                                  bool flatOnRight, bool flatOnTop, bool flatOnBottom);
};
