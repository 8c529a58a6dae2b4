#include "ProgressLookAndFeel.h"

namespace
{
const juce::Colour kFillTop(0xFFA7A7A7);
const juce::Colour kFillMiddle(0xFF646464);
const juce::Colour kFillBottom(0xFF6C6C6C);
} // namespace

void ProgressLookAndFeel::drawProgressBar(juce::Graphics& g, juce::ProgressBar& bar, int width, int height,
                                          double progress, const juce::String& textToShow)
{
    g.fillAll(bar.findColour(juce::ProgressBar::backgroundColourId, false));

    const float fillHeight = (float)(height - 4);
    juce::ColourGradient gradient(kFillTop, 2.0f, 2.0f, kFillBottom, 2.0f, fillHeight, false);
    gradient.addColour(0.0, kFillTop);
    gradient.addColour(0.5, kFillMiddle);
    gradient.addColour(1.0, kFillBottom);
    g.setGradientFill(gradient);

    const double maxWidth = width - 4.0;
    double fillWidth = progress * maxWidth;
    fillWidth = fillWidth < 0.0 ? 0.0 : juce::jmin(maxWidth, fillWidth);

    // A bar narrower than 4 pixels leaves a negative width; it fills nothing either way.
    if (fillWidth > 0.0 && fillHeight > 0.0f)
        g.fillRect(2.0f, 2.0f, (float)fillWidth, fillHeight);

    if (textToShow.isNotEmpty())
    {
        g.setColour(juce::Colours::white);
        g.setFont((float)height * 0.8f);
        g.drawText(textToShow, 0, 0, width, height, juce::Justification::centred, false);
    }
}
