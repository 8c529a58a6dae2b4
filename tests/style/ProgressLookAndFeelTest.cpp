#include "ProgressLookAndFeel.h"
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

namespace
{
const juce::Colour kTrough(0xFF080808);

class ProgressLookAndFeelTest : public ::testing::Test
{
protected:
    ProgressLookAndFeelTest()
    {
        bar.setColour(juce::ProgressBar::backgroundColourId, kTrough);
        bar.setColour(juce::ProgressBar::foregroundColourId, juce::Colours::red);
    }

    juce::Image draw(int w, double progress, const juce::String& text = {})
    {
        auto image = blankImage(w, 20);
        juce::Graphics g(image);
        look.drawProgressBar(g, bar, w, 20, progress, text);
        return image;
    }

    static juce::Image trough(int w)
    {
        auto image = blankImage(w, 20);
        image.clear(image.getBounds(), kTrough);
        return image;
    }

    ScopedLangLookAsDefault fonts;
    double value = 0.0;
    juce::ProgressBar bar{ value };
    ProgressLookAndFeel look;
};

TEST_F(ProgressLookAndFeelTest, FillGrowsFromX2ToTwoPixelsFromTheRightBetweenY2AndY18)
{
    struct Probe
    {
        double progress;
        int x, y;
        bool fill;
    };
    const Probe probes[] = {
        { 0.5, 2, 2, true },     { 0.5, 149, 17, true }, { 0.5, 150, 10, false }, { 0.5, 1, 10, false },
        { 0.5, 10, 1, false },   { 0.5, 10, 18, false }, { 0.5, 299, 19, false }, { 0.0, 2, 10, false },
        { 0.0, 3, 3, false },    { 1.0, 297, 10, true }, { 1.0, 298, 10, false }, { 1.5, 297, 10, true },
        { 1.5, 298, 10, false },
    };

    for (const auto& p : probes)
    {
        const auto c = draw(300, p.progress).getPixelAt(p.x, p.y);
        const bool isFill = c.getRed() >= 0x60 && c.getRed() <= 0xA8 && c.getRed() == c.getBlue();
        EXPECT_TRUE(p.fill ? isFill : channelDistance(c, kTrough) <= 1)
            << p.progress << " at " << p.x << "," << p.y << ": " << c.toDisplayString(true);
    }
}

TEST_F(ProgressLookAndFeelTest, FillIsAVerticalGreyGradientDarkestHalfwayDown)
{
    const auto image = draw(300, 0.5);

    EXPECT_LE(channelDistance(image.getPixelAt(10, 2), juce::Colour(0xFFA7A7A7)), 8);
    EXPECT_LE(channelDistance(image.getPixelAt(10, 9), juce::Colour(0xFF646464)), 3);
    EXPECT_LE(channelDistance(image.getPixelAt(10, 17), juce::Colour(0xFF6C6C6C)), 1);
    EXPECT_EQ(image.getPixelAt(10, 5), image.getPixelAt(140, 5));

    const auto later = draw(300, 0.9);
    for (int y = 2; y < 18; ++y)
        EXPECT_EQ(image.getPixelAt(10, y), later.getPixelAt(10, y)) << "y " << y;
}

TEST_F(ProgressLookAndFeelTest, TextIsWhiteAt80PercentOfTheHeightCentred)
{
    auto expected = draw(300, 0.5);
    {
        juce::Graphics g(expected);
        g.setColour(juce::Colours::white);
        g.setFont(16.0f);
        g.drawText("50%", 0, 0, 300, 20, juce::Justification::centred, false);
    }

    const auto image = draw(300, 0.5, "50%");
    EXPECT_GT(countDifferentPixels(image, draw(300, 0.5)), 20) << "no text drawn";
    EXPECT_EQ(countDifferentPixels(image, expected), 0);
}

TEST_F(ProgressLookAndFeelTest, NegativeProgressOrANarrowBarShowOnlyTheTrough)
{
    EXPECT_EQ(countDifferentPixels(draw(300, -1.0), trough(300)), 0);
    EXPECT_EQ(countDifferentPixels(draw(4, 0.7), trough(4)), 0);
    EXPECT_EQ(countDifferentPixels(draw(3, 0.0), trough(3)), 0);
}
} // namespace
