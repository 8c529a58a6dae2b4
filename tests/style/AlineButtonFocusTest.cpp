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

    static inline const bool hasDisplay = prepareBareXServer();
    ScopedLangLookAsDefault fonts;
    juce::Component window;
    AlineButton button{ "OK" };
    AlineButton other{ "Cancel" };
};

// At 100 x 20 the 0.5-thick grey rectangle (5, 3, 90, 14) covers half of each pixel of its rim,
// three quarters at the corners.
TEST_F(AlineButtonFocusTest, onlyTheFocusedButtonShowsAThinGreyRectangle)
{
    focus(other);
    ASSERT_FALSE(button.hasKeyboardFocus(true));
    const auto unfocused = renderComponent(button);
    focus(button);
    const auto focused = renderComponent(button);

    const juce::Rectangle<int> rim(5, 3, 90, 14), inside = rim.reduced(1);
    int changedOffRim = 0, changedOnRim = 0, notHalfGrey = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 100; ++x)
        {
            const auto before = unfocused.getPixelAt(x, y), after = focused.getPixelAt(x, y);
            const bool onRim = rim.contains(x, y) && !inside.contains(x, y);
            const bool corner = (x == 5 || x == 94) && (y == 3 || y == 16);
            changedOffRim += !onRim && after != before;
            changedOnRim += onRim && after != before;
            notHalfGrey += onRim && channelDistance(
                                        after, before.interpolatedWith(juce::Colours::grey, corner ? 0.75f : 0.5f)) > 3;
        }
    EXPECT_EQ(changedOffRim, 0);
    EXPECT_GT(changedOnRim, 180) << "of the rim's 204 pixels";
    EXPECT_EQ(notHalfGrey, 0);
}
} // namespace
