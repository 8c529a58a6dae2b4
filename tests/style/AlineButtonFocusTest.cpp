// Keyboard focus needs a window on a display; this program runs under xvfb-run with the
// others (scripts/test.sh) and skips its tests when there is no display.
#include "AlineButton.h"
#include "BareXServer.h"
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

namespace
{
class AlineButtonFocusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!hasDisplay)
            GTEST_SKIP() << "needs a display (scripts/test.sh runs the tests under xvfb-run)";

        useWindowGrey(button);
        window.setSize(240, 40);
        window.addAndMakeVisible(button);
        window.addAndMakeVisible(other);
        button.setBounds(10, 10, 100, 20);
        other.setBounds(120, 10, 100, 20);
        window.addToDesktop(juce::ComponentPeer::windowHasTitleBar);
        window.setVisible(true);
    }

    void focus(juce::Component& target)
    {
        for (int i = 0; i < 100 && !target.hasKeyboardFocus(false); ++i)
        {
            target.grabKeyboardFocus();
            dispatchPendingMessages();
            juce::Thread::sleep(10);
        }
        ASSERT_TRUE(target.hasKeyboardFocus(true));
    }

    juce::Image expected(bool focusMark)
    {
        return expectedButton(button, kWindowGrey, "OK",
                              juce::Font(juce::Font::getDefaultSansSerifFontName(), 13.0f, 0), focusMark);
    }

    static inline const bool hasDisplay = prepareBareXServer();
    ScopedLangLookAsDefault fonts;
    juce::Component window;
    AlineButton button{ "OK" };
    AlineButton other{ "Cancel" };
};

TEST_F(AlineButtonFocusTest, OnlyTheFocusedButtonShowsAThinGreyRectangleAt5x3Sized90x14)
{
    EXPECT_GT(countDifferentPixels(expected(true), expected(false)), 50);

    focus(other);
    ASSERT_FALSE(button.hasKeyboardFocus(true));
    EXPECT_EQ(countDifferentPixels(renderComponent(button), expected(false)), 0);

    focus(button);
    EXPECT_EQ(countDifferentPixels(renderComponent(button), expected(true)), 0);
}
} // namespace
