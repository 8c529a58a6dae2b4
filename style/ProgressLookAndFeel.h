#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The look of the update's progress bar: a trough in the bar's background colour, a grey
// vertical gradient fill growing from the left (inset 2 pixels) and the bar's text in white,
// centred. No animation: a value outside 0..1 shows an empty or a full fill. The bar's
// foreground colour is not used.
//
// Threading: message thread only (painting). Stateless.
// Ownership: the main component creates and deletes it; it must outlive the bar.
class ProgressLookAndFeel : public juce::LookAndFeel_V2
{
public:
    void drawProgressBar(juce::Graphics& g, juce::ProgressBar& bar, int width, int height, double progress,
                         const juce::String& textToShow) override;
};
