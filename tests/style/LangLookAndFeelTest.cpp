#include "LangLookAndFeel.h"
#include "Loader.h"
#include "StrRes.h"
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

namespace
{
const juce::Colour kHighlight(0xFF000040);
constexpr int highlighted = 1, inactive = 2, ticked = 4, subMenu = 8, separator = 16;

bool isInk(juce::Colour c) { return c.getAlpha() > 0x40; }

class LangLookAndFeelTest : public ::testing::Test
{
protected:
    // A menu item 200 wide.
    juce::Image draw(const juce::String& text, int height, int flags = 0, const juce::Drawable* icon = nullptr,
                     const juce::Colour* textColour = nullptr)
    {
        auto image = blankImage(200, height);
        juce::Graphics g(image);
        look().drawPopupMenuItem(g, { 0, 0, 200, height }, flags & separator, !(flags & inactive), flags & highlighted,
                                 flags & ticked, flags & subMenu, text, {}, icon, textColour);
        return image;
    }

    LangLookAndFeel& look() { return fonts.look(); }
    ScopedLangLookAsDefault fonts;
};
} // namespace

// In an area (0, 0, 200, 8): a line 0x33000000 at (5, 3, 190, 1), a line 0x66FFFFFF below it.
TEST_F(LangLookAndFeelTest, separatorIsADarkAndALightLineAtTheMiddleInset5)
{
    const auto image = draw("ignored", 8, separator);
    EXPECT_EQ(inkBounds(image, [](juce::Colour c) { return c.getAlpha() > 0; }), juce::Rectangle<int>(5, 3, 190, 2));
    for (int x : { 5, 100, 194 })
    {
        EXPECT_EQ(image.getPixelAt(x, 3), juce::Colour(0x33000000)) << x;
        EXPECT_EQ(image.getPixelAt(x, 4), juce::Colour(0x66FFFFFF)) << x;
    }
}

// A language's display name, exactly, is drawn in that language's font at 17; any other text
// in the menu font. Either is capped at the item's height / 1.3.
TEST_F(LangLookAndFeelTest, languageNamesAskForTheirOwnFontOtherTextsForTheMenuFont)
{
    const auto menu = look().getPopupMenuFont().getTypefaceName();
    const auto korean = StrRes::LANGUAGE_SELECTION[LANG_KO];
    std::vector<std::tuple<juce::String, int, juce::String, float>> cases{
        { "Item", 24, menu, 17.0f },        { "Item", 20, menu, 20.0f / 1.3f },
        { "Item", 18, menu, 18.0f / 1.3f }, { "english", 24, menu, 17.0f },
        { "English ", 24, menu, 17.0f },    { korean + " ", 24, menu, 17.0f },
        { " " + korean, 24, menu, 17.0f },  { korean, 18, StrRes::DEFAULT_FONT_MAC[LANG_KO], 18.0f / 1.3f },
    };
    for (int lang = 0; lang < LANG_MAX; ++lang)
        cases.emplace_back(StrRes::LANGUAGE_SELECTION[lang], 24, StrRes::DEFAULT_FONT_MAC[lang], 17.0f);
    for (const auto& [text, height, font, fontHeight] : cases)
    {
        const auto asked = fonts.fontsAskedFor([&, text = text, height = height] { draw(text, height); });
        EXPECT_TRUE(asksFor(asked, font, fontHeight) && asked.size() == 1) << text << " at " << height;
    }
}

// An item 24 high: the tick scaled into (4, 4, 21, 16), the text left-aligned from x 28 and
// squeezed to end 3 short of the inner right edge or of the sub-menu arrow, which is sized by the
// menu font whatever the item's font.
TEST_F(LangLookAndFeelTest, tickTextAndArrowTakeTheirPlaces)
{
    const auto tick = inkBounds(draw("", 24, ticked), isInk);
    EXPECT_TRUE(juce::Rectangle<int>(4, 4, 21, 16).contains(tick) && tick.getWidth() > 10) << tick.toString();
    EXPECT_NEAR(inkBounds(draw("Item", 24), isInk).getX(), 28, 2);
    EXPECT_EQ(inkBounds(draw("Item", 24, ticked), isInk).getX(), tick.getX()) << "the tick, then the text";

    juce::String longText; // a little too wide, squeezed without being cut
    while (look().getPopupMenuFont().getStringWidthFloat(longText) < 180.0f)
        longText << "H";
    EXPECT_NEAR(inkBounds(draw(longText, 24), isInk).getRight(), 196, 1) << "squeezed up to the margin";

    // An empty item 12 high has the menu font capped to 9.2; its arrow keeps the full size.
    const auto arrowH = 0.6f * look().getPopupMenuFont().getAscent();
    const int arrowX = 199 - (int)arrowH;
    const auto arrow = inkBounds(draw("", 12, subMenu), isInk);
    EXPECT_NEAR(arrow.getX(), arrowX, 1) << arrow.toString();
    EXPECT_NEAR(arrow.getHeight(), arrowH, 1.5f) << arrow.toString();
    EXPECT_NEAR(arrow.getWidth(), arrowH * 0.6f, 1.5f) << arrow.toString();
    const auto beforeArrow = draw(longText, 24, subMenu).getClippedImage({ 0, 0, arrowX - 1, 24 });
    EXPECT_NEAR(inkBounds(beforeArrow, isInk).getRight(), arrowX - 3, 1) << "the text stops short of the arrow";
}

// The highlight fills the item inset by 1, and its text is white even when a colour is given.
TEST_F(LangLookAndFeelTest, highlightIsOpaqueNavyWithWhiteTextFadedWhenInactive)
{
    const juce::Colour red = juce::Colours::red;
    for (int flags : { highlighted, highlighted | inactive })
    {
        const bool active = flags == highlighted;
        const auto image = draw("Item", 24, flags, nullptr, &red);
        const auto any = [&](std::function<bool(juce::Colour)> is) { return !inkBounds(image, is).isEmpty(); };
        EXPECT_EQ(inkBounds(image, [](juce::Colour c) { return c.getAlpha() > 0; }),
                  juce::Rectangle<int>(1, 1, 198, 22));
        EXPECT_TRUE(image.getPixelAt(1, 1) == kHighlight && image.getPixelAt(198, 22) == kHighlight) << flags;
        EXPECT_FALSE(any([](juce::Colour c) { return c.getRed() > c.getGreen() + 40; })) << "no red, " << flags;
        EXPECT_EQ(any([](juce::Colour c) { return c.getRed() > 0xF0 && c.getGreen() > 0xF0; }), active) << flags;
        EXPECT_TRUE(any([](juce::Colour c) { return c.getRed() > 0x30; })) << "text, " << flags;
        EXPECT_EQ(any([](juce::Colour c) { return c.getRed() > 0x50; }), active) << "at 0.3 when inactive, " << flags;
    }
}

TEST_F(LangLookAndFeelTest, iconTakesThePlaceOfTheTick)
{
    juce::DrawablePath icon;
    juce::Path square;
    square.addRectangle(0.0f, 0.0f, 10.0f, 10.0f);
    icon.setPath(square);
    icon.setFill(juce::Colours::green);
    EXPECT_TRUE(sameImage(draw("Item", 24, ticked, &icon), draw("Item", 24, 0, &icon)));
    EXPECT_FALSE(sameImage(draw("Item", 24, ticked, &icon), draw("Item", 24, ticked)));
}

TEST_F(LangLookAndFeelTest, comboBoxShowsTheSelectedLanguagesFontPlainAt85PercentOfItsHeightCappedAt15)
{
    juce::ComboBox box;
    for (int lang = 0; lang < LANG_MAX; ++lang)
        box.addItem(StrRes::LANGUAGE_SELECTION[lang], lang + 1);
    const std::tuple<int, int, juce::String, float> cases[] = {
        { 0, 22, {}, 15.0f }, // selected id, box height, typeface (none when nothing is selected), font height
        { LANG_KO + 1, 22, StrRes::DEFAULT_FONT_MAC[LANG_KO], 15.0f },
        { LANG_KO + 1, 16, StrRes::DEFAULT_FONT_MAC[LANG_KO], 16.0f * 0.85f },
        { LANG_JA + 1, 20, StrRes::DEFAULT_FONT_MAC[LANG_JA], 15.0f },
    };
    for (const auto& [id, height, typeface, fontHeight] : cases)
    {
        box.setSelectedId(id, juce::dontSendNotification);
        box.setSize(200, height);
        const auto font = look().getComboBoxFont(box);
        EXPECT_TRUE(font.getTypefaceName() == typeface && font.getHeight() == fontHeight && !font.isBold())
            << id << " in " << height << ": " << font.getTypefaceName() << " " << font.getHeight();
    }
    TxtLoader::releaseInstance();
}
