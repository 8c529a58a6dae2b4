#include "ProgressLookAndFeel.h"
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace
{
const juce::Colour kTrough(0xFF080808);

// A bar 20 high on the program's trough colour, with a foreground colour that must not show.
juce::Image drawBar(int width, double progress, const juce::String& text = {})
{
    double value = 0.0;
    juce::ProgressBar bar(value);
    bar.setColour(juce::ProgressBar::backgroundColourId, kTrough);
    bar.setColour(juce::ProgressBar::foregroundColourId, juce::Colours::red);
    auto image = blankImage(width, 20);
    juce::Graphics g(image);
    ProgressLookAndFeel().drawProgressBar(g, bar, width, 20, progress, text);
    return image;
}
} // namespace

// At 300 x 20 the fill spans (2, 2, progress x 296, 16) over the trough, never the foreground red.
TEST(ProgressLookAndFeel, fillGrowsFromX2ToTwoPixelsFromTheRightBetweenY2AndY18)
{
    const std::tuple<double, int, int, bool> probes[] = {
        { 0.5, 2, 2, true },    { 0.5, 149, 17, true },  { 0.5, 150, 10, false }, { 0.5, 1, 10, false },
        { 0.5, 10, 1, false },  { 0.5, 10, 18, false },  { 0.5, 299, 19, false }, { 0.0, 2, 10, false },
        { 1.0, 297, 10, true }, { 1.0, 298, 10, false }, { 1.5, 297, 10, true },  { 1.5, 298, 10, false },
        { -1.0, 2, 10, false }, { 1.0, 1, 10, false }, // progress, x, y, filled?
    };
    for (const auto& [progress, x, y, fill] : probes)
    {
        const auto c = drawBar(300, progress).getPixelAt(x, y);
        const bool isFill = c.getRed() >= 0x60 && c.getRed() <= 0xA8 && c.getRed() == c.getBlue();
        EXPECT_TRUE(fill ? isFill : channelDistance(c, kTrough) <= 1)
            << progress << " at " << x << "," << y << ": " << c.toDisplayString(true);
    }
    for (int width : { 4, 3 })
        EXPECT_EQ(inkBounds(drawBar(width, 0.7), [](juce::Colour c) { return channelDistance(c, kTrough) > 1; }),
                  juce::Rectangle<int>())
            << "a bar " << width << " wide shows only the trough";
}

// From 0xA7A7A7 at y 2 through 0x646464 halfway to 0x6C6C6C at y 16 (h - 4), whatever the progress.
TEST(ProgressLookAndFeel, fillIsAVerticalGreyGradientDarkestHalfwayDown)
{
    const auto image = drawBar(300, 0.5), later = drawBar(300, 0.9);
    for (auto [y, grey] : { std::pair{ 2, 0xA3 }, std::pair{ 5, 0x85 }, std::pair{ 9, 0x65 }, std::pair{ 17, 0x6C } })
        EXPECT_LE(channelDistance(image.getPixelAt(10, y), juce::Colour::greyLevel(grey / 255.0f)), 2)
            << "y " << y << ": " << image.getPixelAt(10, y).toDisplayString(false);
    EXPECT_EQ(image.getPixelAt(10, 5), image.getPixelAt(140, 5));
    for (int y = 2; y < 18; ++y)
        EXPECT_EQ(image.getPixelAt(10, y), later.getPixelAt(10, y)) << "the fill at y " << y << " does not change";
}

TEST(ProgressLookAndFeel, textIsWhiteAt80PercentOfTheHeightCentred)
{
    ScopedLangLookAsDefault fonts;
    juce::Image image;
    EXPECT_TRUE(asksFor(fonts.fontsAskedFor([&] { image = drawBar(300, 0.5, "50%"); }),
                        juce::Font::getDefaultSansSerifFontName(), 16.0f));
    const auto white = inkBounds(image, [](juce::Colour c) { return c.getRed() > 0xF0 && c.getGreen() > 0xF0; });
    EXPECT_GT(white.getWidth(), 10) << white.toString();
    EXPECT_NEAR(white.toFloat().getCentreX(), 150.0f, 1.5f) << white.toString();
    EXPECT_NEAR(white.toFloat().getCentreY(), 10.0f, 1.5f) << white.toString();
}
