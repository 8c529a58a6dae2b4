#include "LangLookAndFeel.h"

#include "FontResolver.h"
#include "Loader.h"
#include "StrRes.h"

namespace
{
const juce::Colour kSeparatorDark(0x33000000);
const juce::Colour kSeparatorLight(0x66FFFFFF);
const juce::Colour kHighlight(0xFF000040);
constexpr float kLanguageFontHeight = 17.0f;
} // namespace

LangLookAndFeel::LangLookAndFeel() : m_pFontResolver(std::make_unique<FontResolver>()) {}

LangLookAndFeel::~LangLookAndFeel()
{
    // Cached typefaces were resolved by this look; the next default resolves its own.
    juce::Typeface::clearTypefaceCache();
}

void LangLookAndFeel::setDefaultSansSerifTypefaceName(const juce::String& newName)
{
    m_defaultSansName = newName;
    juce::LookAndFeel::setDefaultSansSerifTypefaceName(newName);
}

juce::Typeface::Ptr LangLookAndFeel::getTypefaceForFont(const juce::Font& font)
{
    juce::String family = font.getTypefaceName();

    // JUCE's placeholder names; an empty family lets the font matcher pick its sans-serif.
    if (family == juce::Font::getDefaultSansSerifFontName())
        family = m_defaultSansName;
    else if (family == juce::Font::getDefaultSerifFontName())
        family = "serif";
    else if (family == juce::Font::getDefaultMonospacedFontName())
        family = "monospace";

    return m_pFontResolver->resolve(family, font.isBold(), font.isItalic());
}

void LangLookAndFeel::drawPopupMenuItem(juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator,
                                        bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                                        const juce::String& text, const juce::String& shortcutKeyText,
                                        const juce::Drawable* icon, const juce::Colour* textColour)
{
    if (isSeparator)
    {
        drawSeparator(g, area);
        return;
    }

    auto r = area.reduced(1);

    if (isHighlighted)
    {
        g.setColour(kHighlight);
        g.fillRect(r);
        g.setColour(findColour(juce::PopupMenu::highlightedTextColourId));
    }
    else
    {
        g.setColour(textColour != nullptr ? *textColour : findColour(juce::PopupMenu::textColourId));
    }

    // Only the text, tick, icon and arrow fade; the highlight is already drawn.
    if (!isActive)
        g.setOpacity(0.3f);

    const juce::Font font = getItemFont(text, area.getHeight());
    g.setFont(font);

    const auto iconArea = r.removeFromLeft((r.getHeight() * 5) / 4).reduced(3).toFloat();

    if (icon != nullptr)
    {
        icon->drawWithin(g, iconArea, juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize,
                         1.0f);
    }
    else if (isTicked)
    {
        const auto tick = getTickShape(1.0f);
        g.fillPath(tick, tick.getTransformToScaleToFit(iconArea, true));
    }

    if (hasSubMenu)
        drawSubMenuArrow(g, r);

    r.removeFromRight(3);
    g.drawFittedText(text, r, juce::Justification::centredLeft, 1, 0.0f);

    if (shortcutKeyText.isNotEmpty())
    {
        juce::Font shortcutFont(font);
        shortcutFont.setHeight(shortcutFont.getHeight() * 0.75f);
        shortcutFont.setHorizontalScale(0.95f);
        g.setFont(shortcutFont);
        g.drawText(shortcutKeyText, r, juce::Justification::centredRight, true);
    }
}

void LangLookAndFeel::drawSeparator(juce::Graphics& g, const juce::Rectangle<int>& area)
{
    auto r = area.reduced(5, 0);
    r.removeFromTop(r.getHeight() / 2 - 1);

    g.setColour(kSeparatorDark);
    g.fillRect(r.removeFromTop(1));

    g.setColour(kSeparatorLight);
    g.fillRect(r.removeFromTop(1));
}

juce::Font LangLookAndFeel::getItemFont(const juce::String& text, int itemHeight)
{
    juce::Font font = getPopupMenuFont();

    // A language's display name (exact, case-sensitive) is shown in that language's font.
    for (int i = 0; i < LANG_MAX; ++i)
    {
        if (text == StrRes::LANGUAGE_SELECTION[i])
        {
            font = juce::Font(StrRes::DEFAULT_FONT_MAC[i], kLanguageFontHeight, juce::Font::plain);
            break;
        }
    }

    const float maxHeight = (float)itemHeight / 1.3f;

    if (font.getHeight() > maxHeight)
        font.setHeight(maxHeight);

    return font;
}

void LangLookAndFeel::drawSubMenuArrow(juce::Graphics& g, juce::Rectangle<int>& r)
{
    // Sized by the menu font, not by the item's (possibly language) font.
    const float arrowH = 0.6f * getPopupMenuFont().getAscent();
    const float x = (float)r.removeFromRight((int)arrowH).getX();
    const float midY = (float)r.getCentreY();

    juce::Path p;
    p.addTriangle(x, midY - arrowH * 0.5f, x, midY + arrowH * 0.5f, x + arrowH * 0.6f, midY);
    g.fillPath(p, juce::AffineTransform());
}

juce::Font LangLookAndFeel::getComboBoxFont(juce::ComboBox& box)
{
    TxtLoader* texts = TxtLoader::getInstance();

    // Item ids are language + 1; no selection (id 0) gives an out-of-range language, for which
    // the text service returns its empty name.
    const auto language = (LangIdTable_t)(box.getSelectedId() - 1);
    const float height = juce::jmin((float)box.getHeight() * 0.85f, 15.0f);

    return juce::Font(texts->getFont(language), height, juce::Font::plain);
}
