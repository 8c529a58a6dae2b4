#include "AlineButton.h"
#include "BtnLookAndFeel.h"
#include "FakeKeyState.h"
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

namespace
{
const juce::Colour kWindowGrey(0xFFEAEAEA);
const juce::Colour kCaption(0xFF101010);

// The button drawn by hand from its documented parts: background, caption, focus mark.
juce::Image expectedButton(juce::Button& button, juce::Colour background, bool down,
                           const juce::String& caption, const juce::Font& font, bool focusMark)
{
    const int w = button.getWidth();
    const int h = button.getHeight();
    auto image = blankImage(w, h);
    juce::Graphics g(image);
    BtnLookAndFeel look;
    look.drawButtonBackground(g, button, background, false, down);
    g.setFont(font);
    g.setColour(kCaption);
    g.drawFittedText(caption, 4, 4, w - 8, h - 8, juce::Justification::centred, 1, 0.0f);

    if (focusMark)
    {
        g.setColour(juce::Colours::grey);
        g.drawRect(juce::Rectangle<float>(0.05f * (float) w, 0.15f * (float) h,
                                          0.9f * (float) w, 0.7f * (float) h), 0.5f);
    }

    return image;
}

class AlineButtonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_returnKeyHeld = false;
        button.setSize(100, 20);
        button.setColour(juce::TextButton::buttonColourId, kWindowGrey);
        button.setColour(juce::TextButton::buttonOnColourId, kWindowGrey);
        button.onClick = [this] { ++clicks; };
    }

    void TearDown() override
    {
        g_returnKeyHeld = false;
        dispatchPendingMessages();
    }

    // A click shows the button down for 100 ms (juce::Button::flashButtonState).
    void waitForClickFlashToEnd()
    {
        for (int i = 0; i < 50 && button.getState() != juce::Button::buttonNormal; ++i)
        {
            renderComponent(button); // the button lets go only after it has been painted down
            juce::Thread::sleep(10);
            dispatchPendingMessages();
        }
        ASSERT_EQ(button.getState(), juce::Button::buttonNormal);
    }

    // The lozenge left of the caption, at half height: blue while pressed, grey otherwise.
    bool paintsPressed()
    {
        const auto pixel = renderComponent(button).getPixelAt(20, 10);
        return pixel.getBlue() - pixel.getRed() > 60;
    }

    ScopedLangLookAsDefault fonts;
    AlineButton button { "OK" };
    int clicks = 0;
};

TEST_F(AlineButtonTest, NewButtonShowsItsNameInPlainDefaultSansOnWhite)
{
    AlineButton fresh("Cancel");
    fresh.setSize(100, 20);

    EXPECT_EQ(fresh.getButtonText(), "Cancel");
    EXPECT_EQ(fresh.findColour(juce::TextButton::buttonColourId), juce::Colours::white);
    EXPECT_EQ(fresh.findColour(juce::TextButton::buttonOnColourId), juce::Colours::white);
    EXPECT_NE(dynamic_cast<BtnLookAndFeel*>(&fresh.getLookAndFeel()), nullptr);

    const auto expected = expectedButton(fresh, juce::Colours::white, false, "Cancel",
                                         juce::Font(juce::Font::getDefaultSansSerifFontName(), 13.0f, 0), false);
    const auto backgroundOnly = expectedButton(fresh, juce::Colours::white, false, {}, juce::Font(13.0f), false);

    EXPECT_GT(countDifferentPixels(expected, backgroundOnly), 20) << "the caption draws no ink";
    EXPECT_EQ(countDifferentPixels(renderComponent(fresh), expected), 0);
}

TEST_F(AlineButtonTest, CaptionIsCappedAt13InsetBy4AndDrawnInTheTypefaceAndStyleSet)
{
    button.setFont("Apple SD Gothic Neo");
    button.setStyle(juce::Font::bold);
    button.setButtonText(juce::String(juce::CharPointer_UTF8("\xed\x99\x95\xec\x9d\xb8")));

    const auto expected = expectedButton(button, kWindowGrey, false, button.getButtonText(),
                                         juce::Font("Apple SD Gothic Neo", 13.0f, juce::Font::bold), false);
    const auto plain = expectedButton(button, kWindowGrey, false, button.getButtonText(),
                                      juce::Font("Apple SD Gothic Neo", 13.0f, juce::Font::plain), false);

    EXPECT_GT(countDifferentPixels(expected, plain), 5) << "bold and plain look the same";
    EXPECT_EQ(countDifferentPixels(renderComponent(button), expected), 0);
}

TEST_F(AlineButtonTest, CaptionOfA10HighButtonIs8High)
{
    button.setSize(100, 10);
    button.setButtonText("Start");

    const auto expected = expectedButton(button, kWindowGrey, false, "Start",
                                         juce::Font(juce::Font::getDefaultSansSerifFontName(), 8.0f, 0), false);
    const auto tooBig = expectedButton(button, kWindowGrey, false, "Start",
                                       juce::Font(juce::Font::getDefaultSansSerifFontName(), 10.0f, 0), false);

    EXPECT_GT(countDifferentPixels(expected, tooBig), 5);
    EXPECT_EQ(countDifferentPixels(renderComponent(button), expected), 0);
}

TEST_F(AlineButtonTest, BackgroundColourFollowsTheToggleState)
{
    button.setColour(juce::TextButton::buttonOnColourId, juce::Colours::red);
    const auto middleOf = [this] { return renderComponent(button).getPixelAt(20, 10); };

    EXPECT_LE(channelDistance(middleOf(), kWindowGrey.darker(0.2f)), 6);

    button.setToggleState(true, juce::dontSendNotification);
    EXPECT_LE(channelDistance(middleOf(), juce::Colours::red.darker(0.2f)), 12);
}

TEST_F(AlineButtonTest, ReturnHeldShowsPressedUntilThePaintAfterReleaseThenClicksOnce)
{
    EXPECT_FALSE(paintsPressed());

    g_returnKeyHeld = true;
    EXPECT_TRUE(button.keyPressed(juce::KeyPress(juce::KeyPress::returnKey)));
    EXPECT_TRUE(paintsPressed());
    dispatchPendingMessages();
    EXPECT_TRUE(paintsPressed());
    dispatchPendingMessages();
    EXPECT_EQ(clicks, 0) << "no click while Return is held";

    g_returnKeyHeld = false;
    EXPECT_TRUE(paintsPressed()) << "the paint that notices the release still shows the press";
    EXPECT_EQ(clicks, 0) << "the click is posted, never delivered inside the paint";

    dispatchPendingMessages();
    EXPECT_EQ(clicks, 1);

    waitForClickFlashToEnd();
    EXPECT_FALSE(paintsPressed());
    dispatchPendingMessages();
    EXPECT_EQ(clicks, 1);
}

TEST_F(AlineButtonTest, KeyRepeatsWhileHeldStillGiveOneClick)
{
    g_returnKeyHeld = true;

    for (int i = 0; i < 3; ++i)
    {
        EXPECT_TRUE(button.keyPressed(juce::KeyPress(juce::KeyPress::returnKey)));
        paintsPressed();
    }

    g_returnKeyHeld = false;
    paintsPressed();
    paintsPressed();
    dispatchPendingMessages();
    EXPECT_EQ(clicks, 1);
}

TEST_F(AlineButtonTest, ModifiedReturnAndOtherKeysAreNotConsumedAndChangeNothing)
{
    const juce::ModifierKeys::Flags modifiers[] = { juce::ModifierKeys::shiftModifier,
                                                    juce::ModifierKeys::ctrlModifier,
                                                    juce::ModifierKeys::altModifier,
                                                    juce::ModifierKeys::commandModifier };

    for (auto modifier : modifiers)
        EXPECT_FALSE(button.keyPressed(juce::KeyPress(juce::KeyPress::returnKey, modifier, 0)));

    EXPECT_FALSE(button.keyPressed(juce::KeyPress(juce::KeyPress::spaceKey)));
    EXPECT_FALSE(button.keyPressed(juce::KeyPress('a')));

    EXPECT_FALSE(paintsPressed());
    dispatchPendingMessages();
    EXPECT_EQ(clicks, 0);
}

TEST_F(AlineButtonTest, ButtonDisabledBeforeTheReleaseShowsThePressButDropsTheClick)
{
    g_returnKeyHeld = true;
    button.keyPressed(juce::KeyPress(juce::KeyPress::returnKey));
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
    button.keyPressed(juce::KeyPress(juce::KeyPress::returnKey)); // released before any paint
    dispatchPendingMessages();
    EXPECT_EQ(clicks, 0);

    EXPECT_TRUE(paintsPressed());
    dispatchPendingMessages();
    EXPECT_EQ(clicks, 1);
}

TEST_F(AlineButtonTest, ReturnHeldWithoutAPressOnTheButtonSendsNoClick)
{
    g_returnKeyHeld = true;
    EXPECT_FALSE(paintsPressed());

    g_returnKeyHeld = false;
    EXPECT_FALSE(paintsPressed());
    dispatchPendingMessages();
    EXPECT_EQ(clicks, 0);
}

TEST_F(AlineButtonTest, DeletingTheButtonDeletesItsLook)
{
    auto* owned = new AlineButton("OK");
    juce::WeakReference<juce::LookAndFeel> look(&owned->getLookAndFeel());
    ASSERT_NE(look.get(), nullptr);

    delete owned;
    EXPECT_EQ(look.get(), nullptr);
}
} // namespace
