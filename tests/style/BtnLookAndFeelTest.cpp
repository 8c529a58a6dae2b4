#include "BtnLookAndFeel.h"
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

namespace
{
const juce::Colour kWindowGrey(0xFFEAEAEA);

class BtnLookAndFeelTest : public ::testing::Test
{
protected:
    juce::Image draw(int w, int h, juce::Colour colour, bool over, bool down, int connectedEdges = 0)
    {
        juce::TextButton button;
        button.setSize(w, h);
        button.setConnectedEdges(connectedEdges);
        auto image = blankImage(w, h);
        juce::Graphics g(image);
        look.drawButtonBackground(g, button, colour, over, down);
        return image;
    }

    BtnLookAndFeel look;
};

TEST_F(BtnLookAndFeelTest, LozengeOf100x20HasHalfCircleEndsInsetHalfAPixel)
{
    const auto image = draw(100, 20, kWindowGrey, false, false);

    // Radius 9.5 round ends: the corners stay empty, the far left and right ends are drawn.
    for (auto corner : { juce::Point<int>(1, 1), juce::Point<int>(98, 1), juce::Point<int>(1, 18), juce::Point<int>(98, 18) })
        EXPECT_EQ(image.getPixelAt(corner.x, corner.y).getAlpha(), 0) << corner.toString();

    // The outline (1 pixel wide on the 0.5 inset) in the much darker shade, 0xFF898989.
    const juce::Colour outline(0xFF898989);
    EXPECT_LE(channelDistance(image.getPixelAt(0, 10), outline), 3);
    EXPECT_LE(channelDistance(image.getPixelAt(99, 10), outline), 3);
    EXPECT_LE(channelDistance(image.getPixelAt(50, 0), outline), 3);
    EXPECT_LE(channelDistance(image.getPixelAt(50, 19), outline), 3);
    // The straight top edge starts at x 10: a pixel further left is only partly covered.
    EXPECT_LT(image.getPixelAt(4, 0).getAlpha(), 200);
}

TEST_F(BtnLookAndFeelTest, FillRunsWhiteToDarkerMiddleToWhiteTopToBottom)
{
    const auto image = draw(100, 20, kWindowGrey, false, false);

    EXPECT_LE(channelDistance(image.getPixelAt(50, 10), juce::Colour(0xFFC3C3C3)), 5);
    EXPECT_GE(image.getPixelAt(50, 1).getRed(), 0xF0);
    EXPECT_GE(image.getPixelAt(50, 18).getRed(), 0xF0);
    // Vertical only: the same colour across the straight part.
    EXPECT_EQ(image.getPixelAt(20, 10), image.getPixelAt(80, 10));
}

TEST_F(BtnLookAndFeelTest, PressedUsesTheFixedBlueSetAndKeepsTheOutline)
{
    const auto image = draw(100, 20, kWindowGrey, false, true);

    EXPECT_LE(channelDistance(image.getPixelAt(50, 10), juce::Colour(0xFF529CE7)), 8);
    EXPECT_LE(channelDistance(image.getPixelAt(50, 1), juce::Colour(0xFFB9C8F0)), 12);
    EXPECT_LE(channelDistance(image.getPixelAt(50, 18), juce::Colour(0xFF8CDEFD)), 12);
    EXPECT_LE(channelDistance(image.getPixelAt(0, 10), juce::Colour(0xFF898989)), 3);
}

TEST_F(BtnLookAndFeelTest, PressedFillDoesNotDependOnTheButtonColour)
{
    const auto grey = draw(100, 20, kWindowGrey, false, true);
    const auto red = draw(100, 20, juce::Colours::red, false, true);

    EXPECT_EQ(grey.getPixelAt(50, 10), red.getPixelAt(50, 10));
    EXPECT_NE(grey.getPixelAt(0, 10), red.getPixelAt(0, 10)) << "the outline follows the colour";
}

TEST_F(BtnLookAndFeelTest, HoverChangesNothing)
{
    EXPECT_EQ(countDifferentPixels(draw(100, 20, kWindowGrey, true, false),
                                   draw(100, 20, kWindowGrey, false, false)), 0);
}

TEST_F(BtnLookAndFeelTest, AllEdgesConnectedGiveASquareRectangle)
{
    const int all = juce::Button::ConnectedOnLeft | juce::Button::ConnectedOnRight
                    | juce::Button::ConnectedOnTop | juce::Button::ConnectedOnBottom;
    const auto image = draw(100, 20, kWindowGrey, false, false, all);

    for (auto corner : { juce::Point<int>(0, 0), juce::Point<int>(99, 0), juce::Point<int>(0, 19), juce::Point<int>(99, 19) })
        EXPECT_GT(image.getPixelAt(corner.x, corner.y).getAlpha(), 100) << corner.toString();
}

TEST_F(BtnLookAndFeelTest, ConnectedOnLeftSquaresOnlyTheLeftCorners)
{
    const auto image = draw(100, 20, kWindowGrey, false, false, juce::Button::ConnectedOnLeft);

    EXPECT_GT(image.getPixelAt(0, 0).getAlpha(), 100);
    EXPECT_GT(image.getPixelAt(0, 19).getAlpha(), 100);
    EXPECT_EQ(image.getPixelAt(98, 1).getAlpha(), 0);
    EXPECT_EQ(image.getPixelAt(98, 18).getAlpha(), 0);
}

TEST_F(BtnLookAndFeelTest, ButtonTwoHighDrawsNothing)
{
    EXPECT_EQ(countDifferentPixels(draw(100, 2, kWindowGrey, false, false), blankImage(100, 2)), 0);
    EXPECT_GT(countDifferentPixels(draw(100, 3, kWindowGrey, false, false), blankImage(100, 3)), 0);
}

TEST_F(BtnLookAndFeelTest, ExplicitCornerSizeIsUsedUnchanged)
{
    auto square = blankImage(100, 20);
    {
        juce::Graphics g(square);
        BtnLookAndFeel::drawBackground(g, 0.5f, 0.5f, 99.0f, 19.0f, kWindowGrey, 1.0f, 0.0f,
                                       false, false, false, false, false);
    }
    EXPECT_GT(square.getPixelAt(0, 0).getAlpha(), 100);

    auto round = blankImage(100, 20);
    {
        juce::Graphics g(round);
        BtnLookAndFeel::drawBackground(g, 0.5f, 0.5f, 99.0f, 19.0f, kWindowGrey, 1.0f, 6.0f,
                                       false, false, false, false, false);
    }
    EXPECT_EQ(round.getPixelAt(0, 0).getAlpha(), 0);
    EXPECT_GT(round.getPixelAt(2, 2).getAlpha(), 100) << "a 6-pixel corner, not a half circle";
}
} // namespace
