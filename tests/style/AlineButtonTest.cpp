#include "AlineButton.h"
#include "BtnLookAndFeel.h"
#include "FakeKeyState.h"
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

namespace
{
class AlineButtonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_returnKeyHeld = false;
        button.setSize(100, 20);
        useWindowGrey(button);
        button.onClick = [this] { ++clicks; };
    }

    void TearDown() override
    {
        g_returnKeyHeld = false;
        dispatchPendingMessages();
    }

    bool pressReturn() { return button.keyPressed(juce::KeyPress(juce::KeyPress::returnKey)); }

    // The lozenge left of the caption, at half height: blue while pressed, grey otherwise.
    bool paintsPressed()
    {
        const auto pixel = renderComponent(button).getPixelAt(20, 10);
        return pixel.getBlue() - pixel.getRed() > 60;
    }

    ScopedLangLookAsDefault fonts;
    AlineButton button{ "OK" };
    int clicks = 0;
};

TEST_F(AlineButtonTest, NewButtonIsWhiteAndDeletesItsOwnLook)
{
    auto fresh = std::make_unique<AlineButton>("Cancel");
    EXPECT_EQ(fresh->findColour(juce::TextButton::buttonColourId), juce::Colours::white);
    EXPECT_EQ(fresh->findColour(juce::TextButton::buttonOnColourId), juce::Colours::white);

    juce::WeakReference<juce::LookAndFeel> look(&fresh->getLookAndFeel());
    ASSERT_NE(dynamic_cast<BtnLookAndFeel*>(look.get()), nullptr);
    fresh.reset();
    EXPECT_EQ(look.get(), nullptr);
}

TEST_F(AlineButtonTest, CaptionIsInsetBy4InTheTypefaceAndStyleSetAt13OrTheHeightLess2)
{
    const auto sans = juce::Font::getDefaultSansSerifFontName();
    const juce::String hangul(juce::CharPointer_UTF8("\xed\x99\x95\xec\x9d\xb8"));
    struct Case
    {
        int height;
        juce::String typeface, text;
        juce::Font font, notThis;
    };
    const Case cases[] = {
        { 20, {}, "Cancel", juce::Font(sans, 13.0f, 0), juce::Font(sans, 13.0f, juce::Font::bold) },
        { 10, {}, "Start", juce::Font(sans, 8.0f, 0), juce::Font(sans, 10.0f, 0) },
        { 20, "Apple SD Gothic Neo", hangul, juce::Font("Apple SD Gothic Neo", 13.0f, juce::Font::bold),
          juce::Font("Apple SD Gothic Neo", 13.0f, juce::Font::plain) },
    };

    for (const auto& c : cases)
    {
        button.setSize(100, c.height);
        if (c.typeface.isNotEmpty()) // else the button's own default: plain sans-serif
        {
            button.setFont(c.typeface);
            button.setStyle(c.font.getStyleFlags());
        }
        button.setButtonText(c.text);

        const auto expected = expectedButton(button, kWindowGrey, c.text, c.font);
        EXPECT_GT(countDifferentPixels(expected, expectedButton(button, kWindowGrey, c.text, c.notThis)), 5) << c.text;
        EXPECT_EQ(countDifferentPixels(renderComponent(button), expected), 0) << c.text;
    }
}

TEST_F(AlineButtonTest, BackgroundColourFollowsTheToggleState)
{
    button.setColour(juce::TextButton::buttonOnColourId, juce::Colours::red);
    const auto middleOf = [this] { return renderComponent(button).getPixelAt(20, 10); };

    EXPECT_LE(channelDistance(middleOf(), kWindowGrey.darker(0.2f)), 6);

    button.setToggleState(true, juce::dontSendNotification);
    EXPECT_LE(channelDistance(middleOf(), juce::Colours::red.darker(0.2f)), 12);
}

TEST_F(AlineButtonTest, ReturnHeldAndRepeatingShowsPressedUntilThePaintAfterReleaseThenClicksOnce)
{
    EXPECT_FALSE(paintsPressed());
    g_returnKeyHeld = true;

    for (int repeat = 0; repeat < 3; ++repeat)
    {
        EXPECT_TRUE(pressReturn());
        EXPECT_TRUE(paintsPressed());
        dispatchPendingMessages();
        EXPECT_TRUE(paintsPressed());
        dispatchPendingMessages();
    }
    EXPECT_EQ(clicks, 0) << "no click while Return is held";

    g_returnKeyHeld = false;
    EXPECT_TRUE(paintsPressed()) << "the paint that notices the release still shows the press";
    paintsPressed(); // a second paint before the click arrives posts no second one
    EXPECT_EQ(clicks, 0) << "the click is posted, never delivered inside the paint";

    dispatchPendingMessages();
    EXPECT_EQ(clicks, 1);

    // A click shows the button down for 100 ms (juce::Button::flashButtonState); the button
    // lets go only after it has been painted down.
    for (int i = 0; i < 50 && button.getState() != juce::Button::buttonNormal; ++i)
    {
        renderComponent(button);
        juce::Thread::sleep(10);
        dispatchPendingMessages();
    }
    ASSERT_EQ(button.getState(), juce::Button::buttonNormal);
    EXPECT_FALSE(paintsPressed());
    dispatchPendingMessages();
    EXPECT_EQ(clicks, 1);
}

TEST_F(AlineButtonTest, OtherKeysAreNotConsumedAndReturnHeldWithoutAPressOnTheButtonSendsNoClick)
{
    for (auto modifier : { juce::ModifierKeys::shiftModifier, juce::ModifierKeys::ctrlModifier,
                           juce::ModifierKeys::altModifier, juce::ModifierKeys::commandModifier })
        EXPECT_FALSE(button.keyPressed(juce::KeyPress(juce::KeyPress::returnKey, modifier, 0)));

    EXPECT_FALSE(button.keyPressed(juce::KeyPress(juce::KeyPress::spaceKey)));
    EXPECT_FALSE(button.keyPressed(juce::KeyPress('a')));

    g_returnKeyHeld = true;
    EXPECT_FALSE(paintsPressed());
    g_returnKeyHeld = false;
    EXPECT_FALSE(paintsPressed());
    dispatchPendingMessages();
    EXPECT_EQ(clicks, 0);
}

TEST_F(AlineButtonTest, ButtonDisabledBeforeTheReleaseShowsThePressButDropsTheClick)
{
    g_returnKeyHeld = true;
    pressReturn();
    button.setEnabled(false);
    EXPECT_TRUE(paintsPressed());

    g_returnKeyHeld = false;
    EXPECT_TRUE(paintsPressed());
    dispatchPendingMessages();
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(paintsPressed()) << "the press is over even though no click arrived";
}

TEST_F(AlineButtonTest, PressLeftUnpaintedClicksAtTheNextPaint)
{
    pressReturn(); // released before any paint
    dispatchPendingMessages();
    EXPECT_EQ(clicks, 0);

    EXPECT_TRUE(paintsPressed());
    dispatchPendingMessages();
    EXPECT_EQ(clicks, 1);
}
} // namespace
