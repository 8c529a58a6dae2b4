// The push button and the button, progress and language looks, drawn on their own.
#include "AlineButton.h"
#include "BtnLookAndFeel.h"
#include "KeyState.h"
#include "Loader.h"
#include "ProgressLookAndFeel.h"
#include "StrRes.h"
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

// This program's keyboard, in place of the window system's (KeyState.cpp): the tests hold Return.
static bool g_returnHeld = false;
bool isReturnKeyCurrentlyDown() { return g_returnHeld; }

namespace juce
{
// JUCE's own step of its message loop (juce_events); modal loops are not built in.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
void dispatchPendingMessages()
{
    for (int i = 0; i < 1000 && juce::dispatchNextMessageOnSystemQueue(true); ++i)
        continue;
}

juce::Image snapshot(juce::Component& c) { return c.createComponentSnapshot(c.getLocalBounds()); }

int channelDistance(juce::Colour a, juce::Colour b)
{
    return juce::jmax(std::abs(a.getAlpha() - b.getAlpha()), std::abs(a.getRed() - b.getRed()),
                      std::abs(a.getGreen() - b.getGreen()), std::abs(a.getBlue() - b.getBlue()));
}

// Whether a pixel of image is within tolerance of colour in every channel.
std::function<bool(int, int)> near(const juce::Image& image, juce::Colour colour, int tolerance)
{
    return [=](int x, int y) { return channelDistance(image.getPixelAt(x, y), colour) <= tolerance; };
}

// The smallest rectangle holding every pixel of the image that is ink.
juce::Rectangle<int> inkBounds(const juce::Image& image, const std::function<bool(int x, int y)>& isInk)
{
    juce::Rectangle<int> bounds;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (isInk(x, y))
                bounds = bounds.isEmpty() ? juce::Rectangle<int>(x, y, 1, 1) : bounds.getUnion({ x, y, 1, 1 });
    return bounds;
}
} // namespace

// Steps: H, U hold and release Return; R is Return (taken); S, K are Shift+Return and Space (not
// taken); X disables the button; p, n, . paint expecting the pressed look, the normal one,
// either; d delivers the posted messages; a digit is the number of clicks so far. Each row ends
// with Return up.
TEST(AlineButton, returnShowsThePressWhileHeldAndClicksOnceAfterTheRelease)
{
    const std::pair<const char*, const char*> cases[] = {
        { "held: pressed up to the paint that notices the release, then one click", "HRpdpdRpdpd0Up.0d1.d1" },
        { "tapped between two paints: the next paint shows it and clicks", "Rp0d1" },
        { "disabled while held: the press shows, the click is dropped", "HRXpUpd0n" },
        { "modified Return and other keys are not taken, holding alone is no press", "HSKnUnd0" },
    };
    const auto shiftReturn = juce::KeyPress(juce::KeyPress::returnKey, juce::ModifierKeys::shiftModifier, 0);
    for (const auto& [name, steps] : cases)
    {
        AlineButton button("OK");
        button.setSize(100, 20);
        int clicks = 0;
        button.onClick = [&] { ++clicks; };
        const auto paintsPressed = [&] { return snapshot(button).getPixelAt(20, 10).getSaturation() > 0.3f; }; // blue
        for (int i = 0; steps[i] != 0; ++i)
        {
            SCOPED_TRACE(juce::String(name) + ", step " + juce::String(i + 1));
            switch (const char step = steps[i])
            {
                case 'H': g_returnHeld = true; break;
                case 'U': g_returnHeld = false; break;
                case 'R': EXPECT_TRUE(button.keyPressed(juce::KeyPress(juce::KeyPress::returnKey))); break;
                case 'S': EXPECT_FALSE(button.keyPressed(shiftReturn)); break;
                case 'K': EXPECT_FALSE(button.keyPressed(juce::KeyPress(juce::KeyPress::spaceKey))); break;
                case 'X': button.setEnabled(false); break;
                case 'd': dispatchPendingMessages(); break;
                case 'p': EXPECT_TRUE(paintsPressed()); break;
                case 'n': EXPECT_FALSE(paintsPressed()); break;
                case '.': paintsPressed(); break;
                default: EXPECT_EQ(clicks, step - '0');
            }
        }
    }
}

// Centred in the button inset by 4, squeezed to fit; in its typeface and style at 0.8 of the
// height but at most 13; its thick strokes 0x101010, nothing darker. Rows: button height,
// typeface, bold, caption, font height.
TEST(AlineButton, captionIsCentredInItsTypefaceAndStyle)
{
    ScopedLangLook look;
    const std::tuple<int, juce::String, bool, juce::String, float> cases[] = {
        { 10, juce::Font::getDefaultSansSerifFontName(), false, "Start", 8.0f },
        { 40, "Apple SD Gothic Neo", true, juce::CharPointer_UTF8("\xed\x99\x95\xec\x9d\xb8"), 13.0f },
        { 20, juce::Font::getDefaultSansSerifFontName(), true, "Cancel Cancel Cancel Cancel", 13.0f },
    };
    for (const auto& [height, typeface, bold, text, fontHeight] : cases)
    {
        AlineButton button(text);
        button.setSize(100, height);
        button.setFont(typeface);
        button.setStyle(bold ? juce::Font::bold : juce::Font::plain);
        juce::Image image;
        EXPECT_EQ(look.fontsAskedFor([&] { image = snapshot(button); }), font(typeface, fontHeight, bold)) << text;
        const auto ink = inkBounds(image, near(image, juce::Colour(0xFF101010), 0x60));
        const auto core = inkBounds(image, near(image, juce::Colour(0xFF101010), 2));
        const auto darker = inkBounds(image, near(image, juce::Colours::black, 0x0D));
        EXPECT_TRUE(ink.getX() >= 4 && ink.getRight() <= 96 && (text.length() < 20 || ink.getWidth() > 84) &&
                    std::abs(ink.getCentreX() - 50) <= 1 && std::abs(ink.getCentreY() - height / 2) <= 1 &&
                    (!bold || (!core.isEmpty() && darker.isEmpty())))
            << text << ": " << ink.toString() << ", " << core.toString();
    }
}

// Only the focused button shows a 0.5-thick grey rectangle at (5, 3, 90, 14) in 100 x 20: it
// covers half of each pixel of its rim.
TEST(AlineButton, focusedButtonShowsAThinGreyRectangleInside)
{
    if (!g_hasDisplay)
        GTEST_SKIP() << "needs a display (scripts/test.sh runs the tests under xvfb-run)";
    juce::Component window;
    AlineButton button("OK");
    window.setSize(120, 40);
    window.addAndMakeVisible(button);
    button.setBounds(10, 10, 100, 20);
    const auto unfocused = snapshot(button);
    window.addToDesktop(juce::ComponentPeer::windowHasTitleBar);
    window.setVisible(true);
    for (int i = 0; i < 100 && !button.hasKeyboardFocus(false); ++i, juce::Thread::sleep(10))
    {
        button.grabKeyboardFocus();
        dispatchPendingMessages();
    }
    ASSERT_TRUE(button.hasKeyboardFocus(false));
    const auto focused = snapshot(button);
    EXPECT_EQ(inkBounds(focused, [&](int x, int y) { return focused.getPixelAt(x, y) != unfocused.getPixelAt(x, y); }),
              juce::Rectangle<int>(5, 3, 90, 14));
    EXPECT_LE(channelDistance(focused.getPixelAt(50, 3),
                              unfocused.getPixelAt(50, 3).interpolatedWith(juce::Colours::grey, 0.5f)),
              3);
}

// A lozenge 100 x 20 of the window's grey (or red) whose face runs white, darker, white from top
// to bottom, or the fixed blue set while pressed, outlined in a much darker shade of the colour;
// its ends are half circles of radius 9.5 but where connected, there reaching almost to the border.
TEST(BtnLookAndFeel, lozengeAndPressedColoursAtProbePoints)
{
    constexpr int up = 0, down = 1, red = 2, redDown = 3, joined = 4; // joined: connected on the left
    const std::tuple<int, int, int, juce::uint32, int> probes[] = {
        { up, 50, 10, 0xFFC3C3C3, 5 },      { up, 50, 1, 0xFFFFFFFF, 15 },     { up, 50, 18, 0xFFFFFFFF, 15 },
        { down, 50, 10, 0xFF529CE7, 8 },    { down, 50, 1, 0xFFB9C8F0, 12 },   { down, 50, 18, 0xFF8CDEFD, 12 },
        { redDown, 50, 10, 0xFF529CE7, 8 }, { up, 0, 10, 0xFF898989, 3 },      { down, 50, 19, 0xFF898989, 3 },
        { red, 99, 10, 0xFF960000, 4 },     { up, 1, 1, 0x00000000, 0 },       { up, 6, 0, 0x5A888888, 32 },
        { joined, 0, 1, 0xF4B2B2B2, 8 },    { joined, 98, 18, 0x00000000, 0 },
    };
    juce::TextButton button;
    button.setSize(100, 20);
    for (const auto& [state, x, y, expected, tolerance] : probes) // button state, x, y, colour
    {
        juce::Image image(juce::Image::ARGB, 100, 20, true);
        juce::Graphics g(image);
        button.setConnectedEdges(state == joined ? juce::Button::ConnectedOnLeft : 0);
        const auto colour = state & red ? juce::Colours::red : juce::Colour(0xFFEAEAEA);
        BtnLookAndFeel().drawButtonBackground(g, button, colour, false, state & down);
        EXPECT_LE(channelDistance(image.getPixelAt(x, y), juce::Colour(expected)), tolerance)
            << "state " << state << " at " << x << "," << y << ": " << image.getPixelAt(x, y).toDisplayString(true);
    }
}

// A bar 300 x 20: the trough colour, filled over (2, 2, progress x 296, 16) from 0xA7A7A7 through
// 0x646464 halfway to 0x6C6C6C, never in the foreground colour; the text white, 16 high, centred.
TEST(ProgressLookAndFeel, fillGradientAndTextAtProbePoints)
{
    const juce::uint32 trough = 0xFF080808;
    const std::tuple<double, int, int, juce::uint32> probes[] = {
        { 0.5, 10, 2, 0xFFA3A3A3 },   { 0.5, 10, 5, 0xFF858585 },   { 0.5, 140, 5, 0xFF858585 },
        { 0.5, 10, 9, 0xFF656565 },   { 0.9, 10, 9, 0xFF656565 },   { 0.5, 149, 17, 0xFF6C6C6C },
        { 0.5, 150, 10, trough },     { 0.5, 1, 10, trough },       { 0.5, 10, 1, trough },
        { 0.5, 10, 18, trough },      { 1.0, 297, 10, 0xFF666666 }, { 1.0, 298, 10, trough },
        { 1.5, 297, 10, 0xFF666666 }, { 1.5, 298, 10, trough },     { -1.0, 2, 10, trough },
    }; // progress, x, y, colour
    double value = 0.0;
    juce::ProgressBar bar(value);
    bar.setColour(juce::ProgressBar::backgroundColourId, juce::Colour(trough));
    bar.setColour(juce::ProgressBar::foregroundColourId, juce::Colours::red);
    const auto drawBar = [&](double progress, const juce::String& text)
    {
        juce::Image image(juce::Image::ARGB, 300, 20, true);
        juce::Graphics g(image);
        ProgressLookAndFeel().drawProgressBar(g, bar, 300, 20, progress, text);
        return image;
    };
    for (const auto& [progress, x, y, colour] : probes)
    {
        const auto pixel = drawBar(progress, {}).getPixelAt(x, y);
        EXPECT_LE(channelDistance(pixel, juce::Colour(colour)), 3)
            << progress << " at " << x << "," << y << ": " << pixel.toDisplayString(true);
    }

    ScopedLangLook look;
    juce::Image image;
    EXPECT_EQ(look.fontsAskedFor([&] { image = drawBar(0.5, "50%"); }),
              font(juce::Font::getDefaultSansSerifFontName(), 16.0f));
    const auto white = inkBounds(image, near(image, juce::Colours::white, 0x0F));
    EXPECT_TRUE(white.getWidth() > 10 && std::abs(white.getCentreX() - 150) <= 1 &&
                std::abs(white.getCentreY() - 10) <= 1)
        << white.toString();
}

// A language's display name, exactly, is drawn in that language's font at 17, any other text in
// the menu font, either capped at the item's height / 1.3. The closed box shows the selected
// language's font, plain, at 0.85 of its height but at most 15.
TEST(LangLookAndFeel, languageNamesInTheirOwnFontsInTheMenuAndTheBox)
{
    ScopedLangLook look;
    const auto menu = look.getPopupMenuFont().getTypefaceName();
    const auto korean = StrRes::LANGUAGE_SELECTION[LANG_KO], koreanFont = StrRes::DEFAULT_FONT_MAC[LANG_KO];
    std::vector<std::tuple<juce::String, int, juce::String>> items{
        { "Item", 24, font(menu, 17.0f) },       { "Item", 20, font(menu, 20.0f / 1.3f) },
        { "english", 24, font(menu, 17.0f) },    { "English ", 24, font(menu, 17.0f) },
        { " " + korean, 24, font(menu, 17.0f) }, { korean, 18, font(koreanFont, 18.0f / 1.3f) },
    };
    for (int lang = 0; lang < LANG_MAX; ++lang)
        items.emplace_back(StrRes::LANGUAGE_SELECTION[lang], 24, font(StrRes::DEFAULT_FONT_MAC[lang], 17.0f));
    for (const auto& [text, height, expected] : items)
    {
        juce::Image image(juce::Image::ARGB, 200, height, true);
        juce::Graphics g(image);
        const auto asked = look.fontsAskedFor(
            [&, text = text, height = height] {
                look.drawPopupMenuItem(g, { 0, 0, 200, height }, false, true, false, false, false, text, {}, nullptr,
                                       nullptr);
            });
        EXPECT_EQ(asked, expected) << '"' << text << "\" at " << height;
    }

    juce::ComboBox box;
    for (int lang = 0; lang < LANG_MAX; ++lang)
        box.addItem(StrRes::LANGUAGE_SELECTION[lang], lang + 1);
    const std::tuple<int, int, juce::String> boxes[] = {
        { 0, 22, font({}, 15.0f) }, // selected id, height, font (no typeface when nothing is selected)
        { LANG_KO + 1, 22, font(koreanFont, 15.0f) },
        { LANG_KO + 1, 16, font(koreanFont, 16.0f * 0.85f) },
        { LANG_JA + 1, 20, font(StrRes::DEFAULT_FONT_MAC[LANG_JA], 15.0f) },
    };
    for (const auto& [id, height, expected] : boxes)
    {
        box.setSelectedId(id, juce::dontSendNotification);
        box.setSize(200, height);
        const auto f = look.getComboBoxFont(box);
        EXPECT_EQ(font(f.getTypefaceName(), f.getHeight(), f.isBold()), expected) << id << " in " << height;
    }
    TxtLoader::releaseInstance();
}
