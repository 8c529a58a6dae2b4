#include "LangLookAndFeel.h"
#include "Loader.h"
#include "StrRes.h"
#include "StyleTestSupport.h"

#include <gtest/gtest.h>

namespace
{
const juce::Colour kHighlight(0xFF000040);

class LangLookAndFeelTest : public ::testing::Test
{
protected:
    struct Item
    {
        juce::String text;
        int height = 24;
        bool highlighted = false, active = true, ticked = false, subMenu = false;
        const juce::Colour* textColour = nullptr;
        const juce::Drawable* icon = nullptr;
    };

    juce::Image drawItem(const Item& item)
    {
        auto image = blankImage(200, item.height);
        juce::Graphics g(image);
        look().drawPopupMenuItem(g, { 0, 0, 200, item.height }, false, item.active, item.highlighted,
                                 item.ticked, item.subMenu, item.text, {}, item.icon, item.textColour);
        return image;
    }

    // An unhighlighted, active item as its parts are placed: tick in the icon strip, text
    // fitted left-aligned into the rest less 3 pixels, in the given font.
    juce::Image expectedItem(const juce::String& text, int height, const juce::Font& font, bool ticked)
    {
        auto image = blankImage(200, height);
        juce::Graphics g(image);
        g.setColour(juce::Colours::black);
        g.setFont(font);
        const int inner = height - 2;
        const int iconWidth = inner * 5 / 4;

        if (ticked)
        {
            const auto tick = look().getTickShape(1.0f);
            const juce::Rectangle<float> iconArea(4.0f, 4.0f, (float) iconWidth - 6.0f, (float) inner - 6.0f);
            g.fillPath(tick, tick.getTransformToScaleToFit(iconArea, true));
        }

        g.drawFittedText(text, { 1 + iconWidth, 1, 198 - iconWidth - 3, inner },
                         juce::Justification::centredLeft, 1, 0.0f);
        return image;
    }

    LangLookAndFeel& look() { return fonts.look(); }
    juce::Font menuFont(float height) { return look().getPopupMenuFont().withHeight(height); }

    ScopedLangLookAsDefault fonts;
};

TEST_F(LangLookAndFeelTest, SeparatorIsADarkAndALightLineAtTheMiddleInset5)
{
    auto image = blankImage(200, 8);
    {
        juce::Graphics g(image);
        look().drawPopupMenuItem(g, { 0, 0, 200, 8 }, true, true, false, false, false, "ignored", {}, nullptr, nullptr);
    }

    EXPECT_EQ(image.getPixelAt(5, 3), juce::Colour(0x33000000));
    EXPECT_EQ(image.getPixelAt(194, 3), juce::Colour(0x33000000));
    EXPECT_EQ(image.getPixelAt(5, 4).getAlpha(), 0x66);
    EXPECT_EQ(image.getPixelAt(5, 4).getRed(), 0xFF);
    EXPECT_EQ(image.getPixelAt(4, 3).getAlpha(), 0);
    EXPECT_EQ(image.getPixelAt(195, 4).getAlpha(), 0);

    auto twoLines = blankImage(200, 8);
    {
        juce::Graphics g(twoLines);
        g.fillAll(juce::Colours::transparentBlack);
        g.setColour(juce::Colour(0x33000000));
        g.fillRect(5, 3, 190, 1);
        g.setColour(juce::Colour(0x66FFFFFF));
        g.fillRect(5, 4, 190, 1);
    }
    EXPECT_EQ(countDifferentPixels(image, twoLines), 0) << "a separator draws nothing else";
}

TEST_F(LangLookAndFeelTest, TickedItemPlacesTickAndTextAndKeepsThe17HighMenuFont)
{
    Item item { "Item" };
    item.ticked = true;

    const auto expected = expectedItem("Item", 24, menuFont(17.0f), true);
    EXPECT_GT(countDifferentPixels(expected, blankImage(200, 24)), 30);
    EXPECT_EQ(countDifferentPixels(drawItem(item), expected), 0);
}

TEST_F(LangLookAndFeelTest, FontIsCappedAtItemHeightOver1Point3)
{
    for (int height : { 20, 18 })
    {
        Item item { "Item", height };
        const auto expected = expectedItem("Item", height, menuFont((float) height / 1.3f), false);
        EXPECT_GT(countDifferentPixels(expected, expectedItem("Item", height, menuFont(17.0f), false)), 5);
        EXPECT_EQ(countDifferentPixels(drawItem(item), expected), 0) << "height " << height;
    }
}

TEST_F(LangLookAndFeelTest, EveryLanguageNameIsDrawnInItsOwnFontPlainAt17)
{
    for (int lang = 0; lang < LANG_MAX; ++lang)
    {
        const auto& name = StrRes::LANGUAGE_SELECTION[lang];
        const auto expected = expectedItem(name, 24, juce::Font(StrRes::DEFAULT_FONT_MAC[lang], 17.0f, 0), false);
        EXPECT_EQ(countDifferentPixels(drawItem({ name }), expected), 0) << name;
    }

}

TEST_F(LangLookAndFeelTest, NearlyMatchingNamesKeepTheMenuFont)
{
    const auto korean = StrRes::LANGUAGE_SELECTION[LANG_KO];

    for (auto text : { juce::String("english"), juce::String("English "), korean + " ", " " + korean })
        EXPECT_EQ(countDifferentPixels(drawItem({ text }), expectedItem(text, 24, menuFont(17.0f), false)), 0) << text;

}

// The fonts installed here may draw a language font and the menu font alike, so which font
// an item asks for is watched where fonts are resolved: in the default look.
class FontRequestRecorder : public LangLookAndFeel
{
public:
    juce::Typeface::Ptr getTypefaceForFont(const juce::Font& font) override
    {
        requested.add(font.getTypefaceName());
        return LangLookAndFeel::getTypefaceForFont(font);
    }

    juce::StringArray requested;
};

TEST_F(LangLookAndFeelTest, ItemsAskForTheirLanguageFontAndOtherTextsForTheMenuFont)
{
    FontRequestRecorder recorder;
    recorder.setDefaultSansSerifTypefaceName("Hiragino Maru Gothic Pro W4");
    juce::LookAndFeel::setDefaultLookAndFeel(&recorder);

    const auto fontsAskedFor = [&recorder](const juce::String& text) {
        juce::Typeface::clearTypefaceCache();
        recorder.requested.clear();
        auto image = blankImage(200, 24);
        juce::Graphics g(image);
        recorder.drawPopupMenuItem(g, { 0, 0, 200, 24 }, false, true, false, false, false, text, {}, nullptr, nullptr);
        return recorder.requested;
    };

    for (int lang = 0; lang < LANG_MAX; ++lang)
    {
        const auto asked = fontsAskedFor(StrRes::LANGUAGE_SELECTION[lang]);
        EXPECT_TRUE(asked.contains(StrRes::DEFAULT_FONT_MAC[lang])) << asked.joinIntoString(", ");
        EXPECT_FALSE(asked.contains(juce::Font::getDefaultSansSerifFontName())) << lang;
    }

    for (auto text : { juce::String("english"), StrRes::LANGUAGE_SELECTION[LANG_KO] + " ", juce::String("Other") })
    {
        const auto asked = fontsAskedFor(text);
        EXPECT_TRUE(asked.contains(juce::Font::getDefaultSansSerifFontName())) << text << ": " << asked.joinIntoString(", ");
        EXPECT_FALSE(asked.contains("Verdana") || asked.contains("Apple SD Gothic Neo")) << text;
    }

    juce::LookAndFeel::setDefaultLookAndFeel(&look());
    juce::Typeface::clearTypefaceCache();
}

TEST_F(LangLookAndFeelTest, HighlightIsOpaqueNavyWithTextInTheHighlightColourNotTheGivenOne)
{
    const juce::Colour red = juce::Colours::red;
    Item item { "Item" };
    item.highlighted = true;
    item.textColour = &red;
    const auto image = drawItem(item);

    EXPECT_EQ(image.getPixelAt(1, 1), kHighlight);
    EXPECT_EQ(image.getPixelAt(198, 22), kHighlight);
    EXPECT_EQ(image.getPixelAt(0, 0).getAlpha(), 0);
    EXPECT_EQ(image.getPixelAt(199, 23).getAlpha(), 0);

    int white = 0, reddish = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 200; ++x)
        {
            const auto c = image.getPixelAt(x, y);
            white += c.getRed() > 0xF0 && c.getGreen() > 0xF0 ? 1 : 0;
            reddish += c.getRed() > c.getGreen() + 40 ? 1 : 0;
        }
    EXPECT_GT(white, 10);
    EXPECT_EQ(reddish, 0);
}

TEST_F(LangLookAndFeelTest, InactiveHighlightedItemKeepsTheFillAndFadesTheText)
{
    Item item { "Item" };
    item.highlighted = true;
    item.active = false;
    const auto image = drawItem(item);

    EXPECT_EQ(image.getPixelAt(1, 1), kHighlight);

    int brightest = 0;
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 200; ++x)
            brightest = juce::jmax(brightest, (int) image.getPixelAt(x, y).getRed());
    EXPECT_GT(brightest, 0x30);
    EXPECT_LE(brightest, 0x50) << "white at opacity 0.3 over the fill";
}

TEST_F(LangLookAndFeelTest, IconTakesThePlaceOfTheTick)
{
    juce::DrawablePath icon;
    juce::Path square;
    square.addRectangle(0.0f, 0.0f, 10.0f, 10.0f);
    icon.setPath(square);
    icon.setFill(juce::Colours::green);

    Item both { "Item" };
    both.ticked = true;
    both.icon = &icon;
    Item iconOnly { "Item" };
    iconOnly.icon = &icon;

    EXPECT_EQ(countDifferentPixels(drawItem(both), drawItem(iconOnly)), 0);
    Item tickOnly { "Item" };
    tickOnly.ticked = true;
    EXPECT_GT(countDifferentPixels(drawItem(both), drawItem(tickOnly)), 5);
}

TEST_F(LangLookAndFeelTest, SubMenuArrowIsSizedByTheMenuFontEvenForALanguageItem)
{
    const auto& chinese = StrRes::LANGUAGE_SELECTION[LANG_ZH_HANS];
    Item item { chinese };
    item.subMenu = true;

    // Inner rectangle (1, 1, 198, 22); the arrow strip comes off its right side.
    const float arrowH = 0.6f * look().getPopupMenuFont().getAscent();
    const int k = (int) arrowH;
    auto expected = blankImage(200, 24);
    {
        juce::Graphics g(expected);
        g.setColour(juce::Colours::black);
        g.setFont(juce::Font(StrRes::DEFAULT_FONT_MAC[LANG_ZH_HANS], 17.0f, 0));
        const float x = (float) (199 - k);
        const float midY = 12.0f;
        juce::Path arrow;
        arrow.addTriangle(x, midY - arrowH * 0.5f, x, midY + arrowH * 0.5f, x + arrowH * 0.6f, midY);
        g.fillPath(arrow);
        g.drawFittedText(chinese, { 28, 1, 168 - k, 22 }, juce::Justification::centredLeft, 1, 0.0f);
    }

    EXPECT_EQ(countDifferentPixels(drawItem(item), expected), 0);
}

class LangComboBoxFontTest : public LangLookAndFeelTest
{
protected:
    void SetUp() override
    {
        for (int lang = 0; lang < LANG_MAX; ++lang)
            box.addItem(StrRes::LANGUAGE_SELECTION[lang], lang + 1);
    }

    void TearDown() override { TxtLoader::releaseInstance(); }

    juce::ComboBox box { "langs" };
};

TEST_F(LangComboBoxFontTest, SelectedLanguageGivesItsFontCappedAt15)
{
    box.setSelectedId(LANG_KO + 1, juce::dontSendNotification);

    box.setSize(200, 22);
    auto font = look().getComboBoxFont(box);
    EXPECT_EQ(font.getTypefaceName(), "Apple SD Gothic Neo");
    EXPECT_FLOAT_EQ(font.getHeight(), 15.0f);
    EXPECT_FALSE(font.isBold());

    box.setSize(200, 16);
    EXPECT_FLOAT_EQ(look().getComboBoxFont(box).getHeight(), 16.0f * 0.85f);

    box.setSize(200, 20);
    box.setSelectedId(LANG_JA + 1, juce::dontSendNotification);
    font = look().getComboBoxFont(box);
    EXPECT_EQ(font.getTypefaceName(), "Hiragino Sans W5");
    EXPECT_FLOAT_EQ(font.getHeight(), 15.0f);
}

TEST_F(LangComboBoxFontTest, NoSelectionGivesAnEmptyNameAtTheSameHeight)
{
    box.setSize(200, 22);
    ASSERT_EQ(box.getSelectedId(), 0);

    const auto font = look().getComboBoxFont(box);
    EXPECT_TRUE(font.getTypefaceName().isEmpty());
    EXPECT_FLOAT_EQ(font.getHeight(), 15.0f);
    EXPECT_GT(font.getStringWidthFloat("English"), 0.0f) << "the empty name still draws";
}
} // namespace
