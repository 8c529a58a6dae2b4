#include "StyleTestSupport.h"

#include "BtnLookAndFeel.h"

namespace juce
{
// JUCE's own step of its message loop (juce_events); modal loops are not built in.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
} // namespace juce

void dispatchPendingMessages()
{
    for (int i = 0; i < 1000 && juce::dispatchNextMessageOnSystemQueue(true); ++i)
    {
    }
}

juce::Image blankImage(int width, int height) { return juce::Image(juce::Image::ARGB, width, height, true); }

juce::Image renderComponent(juce::Component& component)
{
    auto image = blankImage(component.getWidth(), component.getHeight());
    juce::Graphics g(image);
    component.paintEntireComponent(g, true);
    return image;
}

int channelDistance(juce::Colour a, juce::Colour b)
{
    return juce::jmax(std::abs(a.getAlpha() - b.getAlpha()), std::abs(a.getRed() - b.getRed()),
                      std::abs(a.getGreen() - b.getGreen()), std::abs(a.getBlue() - b.getBlue()));
}

int countDifferentPixels(const juce::Image& a, const juce::Image& b, int tolerance)
{
    if (a.getBounds() != b.getBounds())
        return a.getWidth() * a.getHeight() + 1;

    int count = 0;

    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (channelDistance(a.getPixelAt(x, y), b.getPixelAt(x, y)) > tolerance)
                ++count;

    return count;
}

void useWindowGrey(juce::Button& button)
{
    button.setColour(juce::TextButton::buttonColourId, kWindowGrey);
    button.setColour(juce::TextButton::buttonOnColourId, kWindowGrey);
}

juce::Image expectedButton(juce::Button& button, juce::Colour background, const juce::String& caption,
                           const juce::Font& font, bool focusMark)
{
    const auto w = (float)button.getWidth(), h = (float)button.getHeight();
    auto image = blankImage(button.getWidth(), button.getHeight());
    juce::Graphics g(image);
    BtnLookAndFeel().drawButtonBackground(g, button, background, false, false);
    g.setFont(font);
    g.setColour(juce::Colour(0xFF101010));
    g.drawFittedText(caption, 4, 4, button.getWidth() - 8, button.getHeight() - 8, juce::Justification::centred, 1,
                     0.0f);

    if (focusMark)
    {
        g.setColour(juce::Colours::grey);
        g.drawRect(juce::Rectangle<float>(0.05f * w, 0.15f * h, 0.9f * w, 0.7f * h), 0.5f);
    }

    return image;
}

ScopedLangLookAsDefault::ScopedLangLookAsDefault()
{
    m_look.setDefaultSansSerifTypefaceName("Hiragino Maru Gothic Pro W4");
    juce::LookAndFeel::setDefaultLookAndFeel(&m_look);
    juce::Typeface::clearTypefaceCache();
}

ScopedLangLookAsDefault::~ScopedLangLookAsDefault()
{
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    juce::Typeface::clearTypefaceCache();
}
