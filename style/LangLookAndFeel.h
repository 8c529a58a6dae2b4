#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class FontResolver;

// The application's default look. It shows each interface language in a typeface that suits
// its script: a pop-up menu item whose text is a language's display name is drawn in that
// language's font, and the closed combo box shows the selected language's font. Everything
// else is LookAndFeel_V2's.
//
// As the default look it also decides, for every font of the program, which typeface draws
// it (getTypefaceForFont): the font names of the text tables are resolved to the installed
// fonts, character by character, so that every text of every language can be drawn.
// Whoever makes it the default calls juce::Typeface::clearTypefaceCache() right after, so
// that fonts which the previous default resolved are resolved again; the destructor clears
// the cache itself.
//
// Threading: the drawing operations run on the message thread; getTypefaceForFont may be
// called on any thread that resolves a font.
// Ownership: the main component holds it by value; it must outlive the combo box and the
// menus that draw with it.
class LangLookAndFeel : public juce::LookAndFeel_V2
{
public:
    LangLookAndFeel();
    ~LangLookAndFeel() override;

    void drawPopupMenuItem(juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator, bool isActive,
                           bool isHighlighted, bool isTicked, bool hasSubMenu, const juce::String& text,
                           const juce::String& shortcutKeyText, const juce::Drawable* icon,
                           const juce::Colour* textColour) override;
    juce::Font getComboBoxFont(juce::ComboBox& box) override;
    juce::Typeface::Ptr getTypefaceForFont(const juce::Font& font) override;

    // Hides juce::LookAndFeel::setDefaultSansSerifTypefaceName (not virtual) so that the name
    // is known to getTypefaceForFont; call it through this class.
    void setDefaultSansSerifTypefaceName(const juce::String& newName);

private:
    void drawSeparator(juce::Graphics& g, const juce::Rectangle<int>& area);
    juce::Font getItemFont(const juce::String& text, int itemHeight);
    void drawSubMenuArrow(juce::Graphics& g, juce::Rectangle<int>& r);

    juce::String m_defaultSansName;
    std::unique_ptr<FontResolver> m_pFontResolver;

    JUCE_DECLARE_NON_COPYABLE(LangLookAndFeel)
};
