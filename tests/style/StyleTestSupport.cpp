#include "StyleTestSupport.h"

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

juce::Image blankImage(int width, int height)
{
    return juce::Image(juce::Image::ARGB, width, height, true);
}

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
