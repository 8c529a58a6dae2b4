#include "BtnLookAndFeel.h"
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace
{
// The background of a button 100 wide.
juce::Image drawBackground(int height, juce::Colour colour, bool over, bool down, int connectedEdges = 0)
{
    juce::TextButton button;
    button.setSize(100, height);
    button.setConnectedEdges(connectedEdges);
    auto image = blankImage(100, height);
    juce::Graphics g(image);
    BtnLookAndFeel().drawButtonBackground(g, button, colour, over, down);
    return image;
}
} // namespace

// White, darker, white from top to bottom, or the fixed blue set while pressed; outlined in a
// much darker shade of the colour, 1 pixel wide on the 0.5 inset.
TEST(BtnLookAndFeel, fillsAVerticalGradientInADarkOutline)
{
    const auto normal = drawBackground(20, kWindowGrey, false, false);
    const auto pressed = drawBackground(20, kWindowGrey, false, true);
    const std::tuple<bool, int, int, juce::uint32, int> probes[] = {
        { false, 50, 10, 0xFFC3C3C3, 5 }, { false, 50, 1, 0xFFFFFFFF, 15 }, { false, 50, 18, 0xFFFFFFFF, 15 },
        { true, 50, 10, 0xFF529CE7, 8 },  { true, 50, 1, 0xFFB9C8F0, 12 },  { true, 50, 18, 0xFF8CDEFD, 12 },
        { false, 0, 10, 0xFF898989, 3 },  { false, 99, 10, 0xFF898989, 3 }, { false, 50, 0, 0xFF898989, 3 },
        { false, 50, 19, 0xFF898989, 3 }, { true, 0, 10, 0xFF898989, 3 }, // pressed?, x, y, colour, tolerance
    };
    for (const auto& [down, x, y, colour, tolerance] : probes)
        EXPECT_LE(channelDistance((down ? pressed : normal).getPixelAt(x, y), juce::Colour(colour)), tolerance)
            << (down ? "pressed at " : "at ") << x << "," << y;

    EXPECT_EQ(normal.getPixelAt(20, 10), normal.getPixelAt(80, 10)) << "the gradient is vertical only";
    EXPECT_TRUE(sameImage(drawBackground(20, kWindowGrey, true, false), normal)) << "hover changes nothing";
    const auto red = drawBackground(20, juce::Colours::red, false, true);
    EXPECT_EQ(red.getPixelAt(50, 10), pressed.getPixelAt(50, 10)) << "the pressed fill ignores the colour";
    EXPECT_NE(red.getPixelAt(0, 10), pressed.getPixelAt(0, 10)) << "the outline follows the colour";
}

// A square corner covers the corner pixel; a round end of radius 9.5 leaves the one inside it
// empty, and its straight top edge starts at x 10.
TEST(BtnLookAndFeel, endsAreHalfCirclesSquaredOnlyWhereConnected)
{
    const int all = juce::Button::ConnectedOnLeft | juce::Button::ConnectedOnRight | juce::Button::ConnectedOnTop |
                    juce::Button::ConnectedOnBottom;
    const std::tuple<int, bool, bool> cases[] = { { 0, false, false }, // connected edges, square on the left, right
                                                  { juce::Button::ConnectedOnLeft, true, false },
                                                  { all, true, true } };
    for (const auto& [edges, squareLeft, squareRight] : cases)
    {
        const auto image = drawBackground(20, kWindowGrey, false, false, edges);
        for (int y : { 0, 19 })
            for (auto [x, square] : { std::pair{ 0, squareLeft }, std::pair{ 99, squareRight } })
                EXPECT_TRUE(square ? image.getPixelAt(x, y).getAlpha() > 100
                                   : image.getPixelAt(x ? 98 : 1, y ? 18 : 1).getAlpha() == 0)
                    << "edges " << edges << " at " << x << "," << y;
    }
    EXPECT_LT(drawBackground(20, kWindowGrey, false, false).getPixelAt(4, 0).getAlpha(), 200);
}

TEST(BtnLookAndFeel, buttonTwoHighDrawsNothing)
{
    EXPECT_TRUE(sameImage(drawBackground(2, kWindowGrey, false, false), blankImage(100, 2)));
    EXPECT_FALSE(sameImage(drawBackground(3, kWindowGrey, false, false), blankImage(100, 3)));
}
