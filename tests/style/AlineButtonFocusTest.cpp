// Keyboard focus needs a window on a display; this program runs under xvfb-run with the
// others (scripts/test.sh) and skips its tests when there is no display.
#include "AlineButton.h"
#include "BareXServer.h"
#include "BtnLookAndFeel.h"
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

namespace
{
const juce::Colour kWindowGrey(0xFFEAEAEA);

class AlineButtonFocusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (! hasDisplay)
            GTEST_SKIP() << "needs a display (scripts/test.sh runs the tests under xvfb-run)";

        button.setColour(juce::TextButton::buttonColourId, kWindowGrey);
        button.setColour(juce::TextButton::buttonOnColourId, kWindowGrey);
        window.setSize(240, 40);
        window.addAndMakeVisible(button);
        window.addAndMakeVisible(other);
        button.setBounds(10, 10, 100, 20);
        other.setBounds(120, 10, 100, 20);
        window.addToDesktop(juce::ComponentPeer::windowHasTitleBar);
        window.setVisible(true);
    }

    void TearDown() override
    {
        if (window.isOnDesktop())
            window.removeFromDesktop();
    }

    void focus(juce::Component& target)
    {
        for (int i = 0; i < 100 && ! target.hasKeyboardFocus(false); ++i)
        {
            target.grabKeyboardFocus();
            dispatchPendingMessages();
            juce::Thread::sleep(10);
        }
    }

    // Background and caption as AlineButton draws them, plus the focus mark if asked for.
    juce::Image expected(bool focusMark)
    {
        auto image = blankImage(100, 20);
        juce::Graphics g(image);
        BtnLookAndFeel().drawButtonBackground(g, button, kWindowGrey, false, false);
        g.setFont(juce::Font(juce::Font::getDefaultSansSerifFontName(), 13.0f, 0));
        g.setColour(juce::Colour(0xFF101010));
        g.drawFittedText("OK", 4, 4, 92, 12, juce::Justification::centred, 1, 0.0f);

        if (focusMark)
        {
            g.setColour(juce::Colours::grey);
            g.drawRect(juce::Rectangle<float>(5.0f, 3.0f, 90.0f, 14.0f), 0.5f);
        }

        return image;
    }

    static inline const bool hasDisplay = prepareBareXServer();
    ScopedLangLookAsDefault fonts;
    juce::Component window;
    AlineButton button { "OK" };
    AlineButton other { "Cancel" };
};

TEST_F(AlineButtonFocusTest, FocusedButtonShowsAThinGreyRectangleAt5x3Sized90x14)
{
    focus(button);
    ASSERT_TRUE(button.hasKeyboardFocus(true));

    const auto image = renderComponent(button);
    EXPECT_EQ(countDifferentPixels(image, expected(true)), 0);
    EXPECT_GT(countDifferentPixels(expected(true), expected(false)), 50);
}

TEST_F(AlineButtonFocusTest, ButtonWithoutFocusShowsNoMark)
{
    focus(other);
    ASSERT_TRUE(other.hasKeyboardFocus(true));
    ASSERT_FALSE(button.hasKeyboardFocus(true));

    EXPECT_EQ(countDifferentPixels(renderComponent(button), expected(false)), 0);
}
} // namespace
