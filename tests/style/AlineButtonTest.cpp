#include "AlineButton.h"
#include "BtnLookAndFeel.h"
#include "FakeKeyState.h"
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace
{
// The caption's near-black, apart from the grey lozenge and its outline.
bool isCaption(juce::Colour c)
{
    return c.getAlpha() == 0xFF && std::max({ c.getRed(), c.getGreen(), c.getBlue() }) < 0x80;
}
// The lozenge's middle: blue while pressed, grey otherwise.
bool isPressedBlue(juce::Colour c) { return c.getBlue() - c.getRed() > 60; }

class AlineButtonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        button.setSize(100, 20);
        button.setColour(juce::TextButton::buttonColourId, kWindowGrey);
        button.onClick = [this] { ++clicks; };
    }
    void TearDown() override
    {
        g_returnKeyHeld = false;
        dispatchPendingMessages();
    }
    bool pressReturn() { return button.keyPressed(juce::KeyPress(juce::KeyPress::returnKey)); }
    bool paintsPressed() { return isPressedBlue(renderComponent(button).getPixelAt(20, 10)); }

    ScopedLangLookAsDefault fonts;
    AlineButton button{ "OK" };
    int clicks = 0;
};

TEST_F(AlineButtonTest, newButtonIsWhiteAndDeletesItsOwnLook)
{
    auto fresh = std::make_unique<AlineButton>("Cancel");
    EXPECT_EQ(fresh->findColour(juce::TextButton::buttonColourId), juce::Colours::white);
    EXPECT_EQ(fresh->findColour(juce::TextButton::buttonOnColourId), juce::Colours::white);
    juce::WeakReference<juce::LookAndFeel> look(&fresh->getLookAndFeel());
    ASSERT_NE(dynamic_cast<BtnLookAndFeel*>(look.get()), nullptr);
    fresh.reset();
    EXPECT_EQ(look.get(), nullptr);
}

// The caption is drawn centred in the button inset by 4 (squeezed to its width when too long),
// in its typeface and style at 0.8 of the height but at most 13, in near-black.
TEST_F(AlineButtonTest, captionIsCentredInTheInsetInItsTypefaceAndStyle)
{
    const auto sans = juce::Font::getDefaultSansSerifFontName();
    const juce::String hangul = juce::CharPointer_UTF8("\xed\x99\x95\xec\x9d\xb8");
    const std::tuple<int, juce::String, bool, juce::String, float> cases[] = {
        { 20, sans, false, "Cancel", 13.0f }, // height, typeface, bold, caption, font height
        { 10, sans, false, "Start", 8.0f },
        { 40, sans, true, "OK", 13.0f },
        { 20, "Apple SD Gothic Neo", true, hangul, 13.0f },
        { 20, sans, false, "Cancel Cancel Cancel Cancel", 13.0f },
    };
    for (const auto& [height, typeface, bold, text, fontHeight] : cases)
    {
        SCOPED_TRACE(text + " in " + juce::String(height));
        button.setSize(100, height);
        button.setFont(typeface);
        button.setStyle(bold ? juce::Font::bold : juce::Font::plain);
        button.setButtonText(text);
        juce::Image image;
        EXPECT_TRUE(asksFor(fonts.fontsAskedFor([&] { image = renderComponent(button); }), typeface, fontHeight, bold));

        const auto ink = inkBounds(image, isCaption).toFloat();
        EXPECT_TRUE(ink.getX() >= 4 && ink.getRight() <= 96) << ink.toString();
        EXPECT_TRUE(text.length() < 20 || (ink.getX() <= 6 && ink.getRight() >= 94)) << ink.toString() << " fills it";
        EXPECT_NEAR(ink.getCentreX(), 50.0f, 1.0f) << ink.toString();
        EXPECT_NEAR(ink.getCentreY(), height / 2.0f, 1.0f) << ink.toString();
        if (bold) // thick enough for pixels wholly inside a stroke
        {
            EXPECT_FALSE(
                inkBounds(image, [](auto c) { return channelDistance(c, juce::Colour(0xFF101010)) <= 2; }).isEmpty());
            EXPECT_TRUE(inkBounds(image, [](auto c) { return c.getAlpha() && c.getBrightness() < 0.05f; }).isEmpty());
        }
    }
}

TEST_F(AlineButtonTest, backgroundColourFollowsTheToggleState)
{
    button.setColour(juce::TextButton::buttonOnColourId, juce::Colours::red);
    EXPECT_LE(channelDistance(renderComponent(button).getPixelAt(20, 10), kWindowGrey.darker(0.2f)), 6);
    button.setToggleState(true, juce::dontSendNotification);
    EXPECT_LE(channelDistance(renderComponent(button).getPixelAt(20, 10), juce::Colours::red.darker(0.2f)), 12);
}

TEST_F(AlineButtonTest, returnHeldShowsPressedUntilThePaintAfterReleaseThenClicksOnce)
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

    paintsPressed();
    dispatchPendingMessages();
    EXPECT_EQ(clicks, 1) << "the press ends with its click";
}

TEST_F(AlineButtonTest, otherKeysAreNotTakenAndReturnHeldWithoutAPressSendsNoClick)
{
    for (auto modifier : { juce::ModifierKeys::shiftModifier, juce::ModifierKeys::ctrlModifier,
                           juce::ModifierKeys::altModifier, juce::ModifierKeys::commandModifier })
        EXPECT_FALSE(button.keyPressed(juce::KeyPress(juce::KeyPress::returnKey, modifier, 0))) << modifier;
    EXPECT_FALSE(button.keyPressed(juce::KeyPress(juce::KeyPress::spaceKey)));
    EXPECT_FALSE(button.keyPressed(juce::KeyPress('a')));

    g_returnKeyHeld = true;
    EXPECT_FALSE(paintsPressed());
    g_returnKeyHeld = false;
    EXPECT_FALSE(paintsPressed());
    dispatchPendingMessages();
    EXPECT_EQ(clicks, 0);
}

TEST_F(AlineButtonTest, buttonDisabledBeforeTheReleaseShowsThePressButDropsTheClick)
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

} // namespace
