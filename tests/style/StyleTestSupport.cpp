#include "StyleTestSupport.h"

#include <algorithm>

namespace juce
{
// JUCE's own step of its message loop (juce_events); modal loops are not built in.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
} // namespace juce

void dispatchPendingMessages()
{
    for (int i = 0; i < 1000 && juce::dispatchNextMessageOnSystemQueue(true); ++i)
        continue;
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

bool sameImage(const juce::Image& a, const juce::Image& b)
{
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt(x, y) != b.getPixelAt(x, y))
                return false;
    return a.getBounds() == b.getBounds();
}

juce::Rectangle<int> inkBounds(const juce::Image& image, const std::function<bool(juce::Colour)>& isInk)
{
    juce::Rectangle<int> bounds;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (isInk(image.getPixelAt(x, y)))
                bounds = bounds.isEmpty() ? juce::Rectangle<int>(x, y, 1, 1) : bounds.getUnion({ x, y, 1, 1 });
    return bounds;
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

std::vector<juce::Font> ScopedLangLookAsDefault::fontsAskedFor(const std::function<void()>& draw)
{
    juce::Typeface::clearTypefaceCache();
    m_look.asked.clear();
    draw();
    return m_look.asked;
}

juce::Typeface::Ptr ScopedLangLookAsDefault::RecordingLook::getTypefaceForFont(const juce::Font& font)
{
    asked.push_back(font);
    return LangLookAndFeel::getTypefaceForFont(font);
}

bool asksFor(const std::vector<juce::Font>& fonts, const juce::String& name, float height, bool bold)
{
    return std::any_of(fonts.begin(), fonts.end(),
                       [&](const juce::Font& f) {
                           return f.getTypefaceName() == name && std::abs(f.getHeight() - height) < 0.01f &&
                                  f.isBold() == bold;
                       });
}
