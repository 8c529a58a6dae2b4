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

    juce::Image drawItem(const Item& item, bool separator = false)
    {
        auto image = blankImage(200, item.height);
        juce::Graphics g(image);
        look().drawPopupMenuItem(g, { 0, 0, 200, item.height }, separator, item.active, item.highlighted, item.ticked,
                                 item.subMenu, item.text, {}, item.icon, item.textColour);
        return image;
    }

    // An unhighlighted, active item as its parts are placed: tick in the icon strip, the
    // sub-menu arrow (sized by the menu font) off the right, text fitted left-aligned into the
    // rest less 3 pixels, in the given font.
    juce::Image expectedItem(const Item& item, const juce::Font& font)
    {
        auto image = blankImage(200, item.height);
        juce::Graphics g(image);
        g.setColour(juce::Colours::black);
        g.setFont(font);
        const int inner = item.height - 2;
        const int iconWidth = inner * 5 / 4;
        const float arrowH = 0.6f * look().getPopupMenuFont().getAscent();
        const int arrowWidth = item.subMenu ? (int)arrowH : 0;

        if (item.ticked)
        {
            const auto tick = look().getTickShape(1.0f);
            const juce::Rectangle<float> iconArea(4.0f, 4.0f, (float)iconWidth - 6.0f, (float)inner - 6.0f);
            g.fillPath(tick, tick.getTransformToScaleToFit(iconArea, true));
        }

        if (item.subMenu)
        {
            const float x = (float)(199 - arrowWidth), midY = (float)item.height * 0.5f;
            juce::Path arrow;
            arrow.addTriangle(x, midY - arrowH * 0.5f, x, midY + arrowH * 0.5f, x + arrowH * 0.6f, midY);
            g.fillPath(arrow);
        }

        g.drawFittedText(item.text, { 1 + iconWidth, 1, 198 - iconWidth - 3 - arrowWidth, inner },
                         juce::Justification::centredLeft, 1, 0.0f);
        return image;
    }

    template <typename Predicate>
    static int countPixels(const juce::Image& image, Predicate isCounted)
    {
        int count = 0;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
                count += isCounted(image.getPixelAt(x, y)) ? 1 : 0;
        return count;
    }

    LangLookAndFeel& look() { return fonts.look(); }
    juce::Font menuFont(float height) { return look().getPopupMenuFont().withHeight(height); }

    ScopedLangLookAsDefault fonts;
};

TEST_F(LangLookAndFeelTest, SeparatorIsADarkAndALightLineAtTheMiddleInset5)
{
    auto twoLines = blankImage(200, 8);
    {
        juce::Graphics g(twoLines);
        g.setColour(juce::Colour(0x33000000));
        g.fillRect(5, 3, 190, 1);
        g.setColour(juce::Colour(0x66FFFFFF));
        g.fillRect(5, 4, 190, 1);
    }
    EXPECT_EQ(countDifferentPixels(drawItem({ "ignored", 8 }, true), twoLines), 0);
}

TEST_F(LangLookAndFeelTest, LanguageNamesAreInTheirOwnFontOtherTextsInTheMenuFontAt17OrHeightOver1Point3)
{
    const auto korean = StrRes::LANGUAGE_SELECTION[LANG_KO];
    struct Case
    {
        Item item;
        juce::Font font;
    }; // item: { text, height, highlighted, active, ticked, subMenu }
    std::vector<Case> cases{ { { "Item", 24, false, true, true }, menuFont(17.0f) },
                             { { "Item", 20 }, menuFont(20.0f / 1.3f) },
                             { { "Item", 18, false, true, true }, menuFont(18.0f / 1.3f) } };

    for (auto nearlyAName : { juce::String("english"), juce::String("English "), korean + " ", " " + korean })
        cases.push_back({ { nearlyAName }, menuFont(17.0f) });
    for (int lang = 0; lang < LANG_MAX; ++lang) // a sub-menu arrow keeps the menu font's size
        cases.push_back({ { StrRes::LANGUAGE_SELECTION[lang], 24, false, true, lang == LANG_DE, lang == LANG_ZH_HANS },
                          juce::Font(StrRes::DEFAULT_FONT_MAC[lang], 17.0f, 0) });

    for (const auto& [item, font] : cases)
    {
        const auto expected = expectedItem(item, font);
        EXPECT_GT(countDifferentPixels(expected, blankImage(200, item.height)), 30) << item.text;
        EXPECT_TRUE(item.height == 24 || countDifferentPixels(expected, expectedItem(item, menuFont(17.0f))) > 5)
            << "the cap does not show at " << item.height;
        EXPECT_EQ(countDifferentPixels(drawItem(item), expected), 0) << item.text << " in " << item.height;
    }
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
    const auto menuName = juce::Font::getDefaultSansSerifFontName();

    const auto fontsAskedFor = [&recorder](const juce::String& text)
    {
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
        EXPECT_TRUE(asked.contains(StrRes::DEFAULT_FONT_MAC[lang]) && !asked.contains(menuName))
            << lang << ": " << asked.joinIntoString(", ");
    }

    for (auto text : { juce::String("english"), StrRes::LANGUAGE_SELECTION[LANG_KO] + " ", juce::String("Other") })
    {
        const auto asked = fontsAskedFor(text);
        EXPECT_TRUE(asked.contains(menuName) && !asked.contains("Verdana") && !asked.contains("Apple SD Gothic Neo"))
            << text << ": " << asked.joinIntoString(", ");
    }

    juce::LookAndFeel::setDefaultLookAndFeel(&look());
    juce::Typeface::clearTypefaceCache();
}

TEST_F(LangLookAndFeelTest, HighlightIsOpaqueNavyWithWhiteTextFadedWhenInactiveNeverTheGivenColour)
{
    const juce::Colour red = juce::Colours::red;

    for (bool active : { true, false })
    {
        Item item{ "Item" };
        item.highlighted = true;
        item.active = active;
        item.textColour = &red;
        const auto image = drawItem(item);

        EXPECT_EQ(image.getPixelAt(1, 1), kHighlight);
        EXPECT_EQ(image.getPixelAt(198, 22), kHighlight);
        EXPECT_EQ(image.getPixelAt(0, 0).getAlpha(), 0);
        EXPECT_EQ(image.getPixelAt(199, 23).getAlpha(), 0);
        EXPECT_EQ(countPixels(image, [](juce::Colour c) { return c.getRed() > c.getGreen() + 40; }), 0) << active;

        if (active)
            EXPECT_GT(countPixels(image, [](juce::Colour c) { return c.getRed() > 0xF0 && c.getGreen() > 0xF0; }), 10);
        else // white at opacity 0.3 over the fill
            EXPECT_TRUE(countPixels(image, [](juce::Colour c) { return c.getRed() > 0x30; }) > 0 &&
                        countPixels(image, [](juce::Colour c) { return c.getRed() > 0x50; }) == 0);
    }
}

TEST_F(LangLookAndFeelTest, IconTakesThePlaceOfTheTick)
{
    juce::DrawablePath icon;
    juce::Path square;
    square.addRectangle(0.0f, 0.0f, 10.0f, 10.0f);
    icon.setPath(square);
    icon.setFill(juce::Colours::green);

    Item both{ "Item" }, iconOnly{ "Item" }, tickOnly{ "Item" };
    both.ticked = tickOnly.ticked = true;
    both.icon = iconOnly.icon = &icon;

    EXPECT_EQ(countDifferentPixels(drawItem(both), drawItem(iconOnly)), 0);
    EXPECT_GT(countDifferentPixels(drawItem(both), drawItem(tickOnly)), 5);
}

TEST_F(LangLookAndFeelTest, ComboBoxShowsTheSelectedLanguagesFontPlainAt85PercentOfItsHeightCappedAt15)
{
    juce::ComboBox box;
    for (int lang = 0; lang < LANG_MAX; ++lang)
        box.addItem(StrRes::LANGUAGE_SELECTION[lang], lang + 1);

    struct Case
    {
        int selectedId, height;
        juce::String typeface;
        float fontHeight;
    };
    const Case cases[] = {
        { 0, 22, {}, 15.0f }, // no selection: an empty name, which still draws
        { LANG_KO + 1, 22, "Apple SD Gothic Neo", 15.0f },
        { LANG_KO + 1, 16, "Apple SD Gothic Neo", 16.0f * 0.85f },
        { LANG_JA + 1, 20, "Hiragino Sans W5", 15.0f },
    };

    for (const auto& c : cases)
    {
        box.setSelectedId(c.selectedId, juce::dontSendNotification);
        box.setSize(200, c.height);
        const auto font = look().getComboBoxFont(box);
        EXPECT_EQ(font.getTypefaceName(), c.typeface) << c.selectedId;
        EXPECT_FLOAT_EQ(font.getHeight(), c.fontHeight) << c.selectedId << " in " << c.height;
        EXPECT_FALSE(font.isBold());
        EXPECT_GT(font.getStringWidthFloat("English"), 0.0f);
    }

    TxtLoader::releaseInstance();
}
} // namespace
