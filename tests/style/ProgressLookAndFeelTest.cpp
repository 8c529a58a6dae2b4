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

    juce::Image draw(int w, int h, double progress, const juce::String& text)
    {
        auto image = blankImage(w, h);
        juce::Graphics g(image);
        look.drawProgressBar(g, bar, w, h, progress, text);
        return image;
    }

    static bool isTrough(juce::Colour c) { return channelDistance(c, kTrough) <= 1; }
    static bool isFill(juce::Colour c) { return c.getRed() >= 0x60 && c.getRed() <= 0xA8 && c.getRed() == c.getBlue(); }

    ScopedLangLookAsDefault fonts;
    double value = 0.0;
    juce::ProgressBar bar { value };
    ProgressLookAndFeel look;
};

TEST_F(ProgressLookAndFeelTest, HalfwayFillsFromX2ToX150BetweenY2AndY18)
{
    const auto image = draw(300, 20, 0.5, {});

    EXPECT_TRUE(isFill(image.getPixelAt(2, 2)));
    EXPECT_TRUE(isFill(image.getPixelAt(149, 17)));
    EXPECT_TRUE(isTrough(image.getPixelAt(150, 10)));
    EXPECT_TRUE(isTrough(image.getPixelAt(1, 10)));
    EXPECT_TRUE(isTrough(image.getPixelAt(10, 1)));
    EXPECT_TRUE(isTrough(image.getPixelAt(10, 18)));
    EXPECT_TRUE(isTrough(image.getPixelAt(299, 19)));
}

TEST_F(ProgressLookAndFeelTest, FillIsAVerticalGreyGradientDarkestHalfwayDown)
{
    const auto image = draw(300, 20, 0.5, {});

    EXPECT_LE(channelDistance(image.getPixelAt(10, 2), juce::Colour(0xFFA7A7A7)), 8);
    EXPECT_LE(channelDistance(image.getPixelAt(10, 9), juce::Colour(0xFF646464)), 3);
    EXPECT_LE(channelDistance(image.getPixelAt(10, 17), juce::Colour(0xFF6C6C6C)), 1);
    EXPECT_EQ(image.getPixelAt(10, 5), image.getPixelAt(140, 5));

    const auto later = draw(300, 20, 0.9, {});
    for (int y = 2; y < 18; ++y)
        EXPECT_EQ(image.getPixelAt(10, y), later.getPixelAt(10, y)) << "y " << y;
}

TEST_F(ProgressLookAndFeelTest, TextIsWhiteAt80PercentOfTheHeightCentred)
{
    auto expected = draw(300, 20, 0.5, {});
    {
        juce::Graphics g(expected);
        g.setColour(juce::Colours::white);
        g.setFont(16.0f);
        g.drawText("50%", 0, 0, 300, 20, juce::Justification::centred, false);
    }

    const auto image = draw(300, 20, 0.5, "50%");
    EXPECT_GT(countDifferentPixels(image, draw(300, 20, 0.5, {})), 20) << "no text drawn";
    EXPECT_EQ(countDifferentPixels(image, expected), 0);
    EXPECT_EQ(image.getPixelAt(150, 10).getRed(), image.getPixelAt(150, 10).getBlue());
}

TEST_F(ProgressLookAndFeelTest, ZeroProgressShowsOnlyTheTroughAndTheText)
{
    const auto image = draw(300, 20, 0.0, "0%");
    EXPECT_TRUE(isTrough(image.getPixelAt(2, 10)));
    EXPECT_TRUE(isTrough(image.getPixelAt(3, 3)));
}

TEST_F(ProgressLookAndFeelTest, FullAndOverfullProgressFillUpToTwoPixelsFromTheRight)
{
    for (double progress : { 1.0, 1.5 })
    {
        const auto image = draw(300, 20, progress, {});
        EXPECT_TRUE(isFill(image.getPixelAt(297, 10))) << progress;
        EXPECT_TRUE(isTrough(image.getPixelAt(298, 10))) << progress;
    }
}

TEST_F(ProgressLookAndFeelTest, NegativeProgressOrANarrowBarShowOnlyTheTrough)
{
    auto trough = blankImage(300, 20);
    trough.clear(trough.getBounds(), kTrough);
    EXPECT_EQ(countDifferentPixels(draw(300, 20, -1.0, {}), trough), 0);

    auto narrowTrough = blankImage(4, 20);
    narrowTrough.clear(narrowTrough.getBounds(), kTrough);
    EXPECT_EQ(countDifferentPixels(draw(4, 20, 0.7, {}), narrowTrough), 0);
    EXPECT_EQ(countDifferentPixels(draw(3, 20, 0.0, {}), narrowTrough.getClippedImage({ 0, 0, 3, 20 })), 0);
}
} // namespace
