#include "BtnLookAndFeel.h"
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

#include <utility>

namespace
{
class BtnLookAndFeelTest : public ::testing::Test
{
protected:
    // The background of a button 100 wide.
    juce::Image draw(int h, juce::Colour colour, bool over, bool down, int connectedEdges = 0)
    {
        juce::TextButton button;
        button.setSize(100, h);
        button.setConnectedEdges(connectedEdges);
        auto image = blankImage(100, h);
        juce::Graphics g(image);
        look.drawButtonBackground(g, button, colour, over, down);
        return image;
    }

    static int alphaAt(const juce::Image& image, int x, int y) { return image.getPixelAt(x, y).getAlpha(); }

    BtnLookAndFeel look;
};

TEST_F(BtnLookAndFeelTest, FillIsWhiteDarkerWhiteTopToBottomOrTheFixedBlueSetWhilePressedInADarkOutline)
{
    const auto normal = draw(20, kWindowGrey, false, false);
    const auto pressed = draw(20, kWindowGrey, false, true);
    struct Probe
    {
        bool down;
        int x, y;
        juce::uint32 colour;
        int tolerance;
    };
    const Probe probes[] = {
        { false, 50, 10, 0xFFC3C3C3, 5 },
        { false, 50, 1, 0xFFFFFFFF, 15 },
        { false, 50, 18, 0xFFFFFFFF, 15 },
        { true, 50, 10, 0xFF529CE7, 8 },
        { true, 50, 1, 0xFFB9C8F0, 12 },
        { true, 50, 18, 0xFF8CDEFD, 12 },
        // The outline, 1 pixel wide on the 0.5 inset, in the much darker shade, pressed or not.
        { false, 0, 10, 0xFF898989, 3 },
        { false, 99, 10, 0xFF898989, 3 },
        { false, 50, 0, 0xFF898989, 3 },
        { false, 50, 19, 0xFF898989, 3 },
        { true, 0, 10, 0xFF898989, 3 },
    };

    for (const auto& p : probes)
        EXPECT_LE(channelDistance((p.down ? pressed : normal).getPixelAt(p.x, p.y), juce::Colour(p.colour)),
                  p.tolerance)
            << (p.down ? "pressed " : "") << p.x << "," << p.y;

    EXPECT_EQ(normal.getPixelAt(20, 10), normal.getPixelAt(80, 10)) << "the gradient is vertical only";
    EXPECT_EQ(countDifferentPixels(draw(20, kWindowGrey, true, false), normal), 0) << "hover changes nothing";

    const auto red = draw(20, juce::Colours::red, false, true);
    EXPECT_EQ(red.getPixelAt(50, 10), pressed.getPixelAt(50, 10)) << "the pressed fill ignores the colour";
    EXPECT_NE(red.getPixelAt(0, 10), pressed.getPixelAt(0, 10)) << "the outline follows the colour";
}

TEST_F(BtnLookAndFeelTest, EndsAreHalfCirclesSquaredOnlyWhereConnected)
{
    const int all = juce::Button::ConnectedOnLeft | juce::Button::ConnectedOnRight | juce::Button::ConnectedOnTop |
                    juce::Button::ConnectedOnBottom;
    struct Case
    {
        int edges;
        bool squareLeft, squareRight;
    };

    for (const auto& c :
         { Case{ 0, false, false }, Case{ juce::Button::ConnectedOnLeft, true, false }, Case{ all, true, true } })
    {
        const auto image = draw(20, kWindowGrey, false, false, c.edges);

        // A square corner covers the corner pixel; a radius 9.5 end leaves the one inside it empty.
        for (int y : { 0, 19 })
            for (auto [x, square] : { std::pair{ 0, c.squareLeft }, std::pair{ 99, c.squareRight } })
            {
                if (square)
                    EXPECT_GT(alphaAt(image, x, y), 100) << c.edges << " at " << x << "," << y;
                else
                    EXPECT_EQ(alphaAt(image, x ? 98 : 1, y ? 18 : 1), 0) << c.edges << " at " << x << "," << y;
            }
    }

    // The straight top edge starts at x 10: a pixel further left is only partly covered.
    EXPECT_LT(alphaAt(draw(20, kWindowGrey, false, false), 4, 0), 200);
}

TEST_F(BtnLookAndFeelTest, ButtonTwoHighDrawsNothing)
{
    EXPECT_EQ(countDifferentPixels(draw(2, kWindowGrey, false, false), blankImage(100, 2)), 0);
    EXPECT_GT(countDifferentPixels(draw(3, kWindowGrey, false, false), blankImage(100, 3)), 0);
}

TEST_F(BtnLookAndFeelTest, ExplicitCornerSizeIsUsedUnchanged)
{
    const auto withCorner = [](float cornerSize)
    {
        auto image = blankImage(100, 20);
        juce::Graphics g(image);
        BtnLookAndFeel::drawBackground(g, 0.5f, 0.5f, 99.0f, 19.0f, kWindowGrey, 1.0f, cornerSize, false, false, false,
                                       false, false);
        return image;
    };

    EXPECT_GT(alphaAt(withCorner(0.0f), 0, 0), 100);
    const auto round = withCorner(6.0f);
    EXPECT_EQ(alphaAt(round, 0, 0), 0);
    EXPECT_GT(alphaAt(round, 2, 2), 100) << "a 6-pixel corner, not a half circle";
}
} // namespace
