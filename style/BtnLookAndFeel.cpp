#include "BtnLookAndFeel.h"

namespace
{
constexpr float kHalfPi = 1.5707964f;
constexpr float kPi = 3.1415927f;
constexpr float kThreeHalfPi = 4.712389f;
constexpr float kTwoPi = 6.2831855f;

// Pressed-state gradient: fixed, whatever the button colour.
const juce::Colour kDownTop(0xFFB9C8F0);
const juce::Colour kDownMiddle(0xFF529CE7);
const juce::Colour kDownBottom(0xFF8CDEFD);
} // namespace

void BtnLookAndFeel::drawButtonBackground(juce::Graphics& g, juce::Button& button, const juce::Colour& backgroundColour,
                                          bool /*isMouseOverButton*/, bool isButtonDown)
{
    const bool left = button.isConnectedOnLeft();
    const bool right = button.isConnectedOnRight();
    const bool top = button.isConnectedOnTop();
    const bool bottom = button.isConnectedOnBottom();

    // Connected edges reach almost to the component's border so neighbours meet.
    const float indentL = left ? 0.1f : 0.5f;
    const float indentR = right ? 0.1f : 0.5f;
    const float indentT = top ? 0.1f : 0.5f;
    const float indentB = bottom ? 0.1f : 0.5f;

    drawBackground(g, indentL, indentT, (float)button.getWidth() - indentL - indentR,
                   (float)button.getHeight() - indentT - indentB, backgroundColour, 1.0f, -1.0f, left, right, top,
                   bottom, isButtonDown);
}

void BtnLookAndFeel::drawBackground(juce::Graphics& g, float x, float y, float width, float height,
                                    const juce::Colour& colour, float outlineThickness, float cornerSize,
                                    bool flatOnLeft, bool flatOnRight, bool flatOnTop, bool flatOnBottom,
                                    bool isButtonDown)
{
    if (outlineThickness >= width || outlineThickness >= height)
        return;

    const float cs = cornerSize < 0.0f ? juce::jmin(height * 0.5f, width * 0.5f) : cornerSize;
    const juce::Path outline = makeOutline(x, y, width, height, cs, flatOnLeft, flatOnRight, flatOnTop, flatOnBottom);

    const juce::Colour top = isButtonDown ? kDownTop : juce::Colours::white;
    const juce::Colour middle = isButtonDown ? kDownMiddle : colour.darker(0.2f);
    const juce::Colour bottom = isButtonDown ? kDownBottom : juce::Colours::white;

    juce::ColourGradient gradient(top, 0.0f, y, bottom, 0.0f, y + height, false);
    gradient.addColour(0.0, top);
    gradient.addColour(0.5, middle);
    gradient.addColour(1.0, bottom);
    g.setGradientFill(gradient);
    g.fillPath(outline, juce::AffineTransform());

    g.setColour(colour.darker(0.7f));
    g.strokePath(outline, juce::PathStrokeType(outlineThickness), juce::AffineTransform());
}

juce::Path BtnLookAndFeel::makeOutline(float x, float y, float width, float height, float cs, bool flatOnLeft,
                                       bool flatOnRight, bool flatOnTop, bool flatOnBottom)
{
    const float cs2 = 2.0f * cs;
    const float x2 = x + width;
    const float y2 = y + height;
    juce::Path p;

    if (!(flatOnLeft || flatOnTop))
    {
        p.startNewSubPath(x, y + cs);
        p.addArc(x, y, cs2, cs2, kThreeHalfPi, kTwoPi, false);
    }
    else
    {
        p.startNewSubPath(x, y);
    }

    if (flatOnTop || flatOnRight)
    {
        p.lineTo(x2, y);
    }
    else
    {
        p.lineTo(x2 - cs, y);
        p.addArc(x2 - cs2, y, cs2, cs2, 0.0f, kHalfPi, false);
    }

    if (flatOnRight || flatOnBottom)
    {
        p.lineTo(x2, y2);
    }
    else
    {
        p.lineTo(x2, y2 - cs);
        p.addArc(x2 - cs2, y2 - cs2, cs2, cs2, kHalfPi, kPi, false);
    }

    if (flatOnLeft || flatOnBottom)
    {
        p.lineTo(x, y2);
    }
    else
    {
        p.lineTo(x + cs, y2);
        p.addArc(x, y2 - cs2, cs2, cs2, kPi, kThreeHalfPi, false);
    }

    p.closeSubPath();
    return p;
}
