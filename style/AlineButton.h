#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class BtnLookAndFeel;

// The push button of the main window. It draws its background through its own
// BtnLookAndFeel, its caption itself (typeface and style set by its owner, one near-black
// colour in every state) and a thin grey rectangle while it has keyboard focus.
//
// Return on the focused button shows the pressed look for as long as the key is held and
// clicks the button once when it comes up: keyPressed only marks the press, and the paint
// that first finds the key released posts the click (triggerClick), so the click always
// arrives later as a message, never inside the paint. A disabled button drops it.
//
// Everything else (mouse, states, listeners) is juce::Button's.
//
// Threading: message thread only.
// Ownership: creates, owns and deletes its BtnLookAndFeel; the owner of the button deletes
// the button.
class AlineButton : public juce::Button
{
public:
    explicit AlineButton(const juce::String& buttonName);
    ~AlineButton() override;

    // Hides juce::Button::setButtonText (not virtual): repaints once on every call, also when
    // the caption does not change.
    void setButtonText(const juce::String& newText);
    // Caption typeface and juce::Font style flags; used from the next paint on, no repaint.
    void setFont(const juce::String& typefaceName);
    void setStyle(const int& styleFlags);

    bool keyPressed(const juce::KeyPress& key) override;

protected:
    void paintButton(juce::Graphics& g, bool isMouseOverButton, bool isButtonDown) override;

private:
    void paintCaption(juce::Graphics& g);
    void paintFocusMark(juce::Graphics& g);
    void finishReturnKeyCycle();

    BtnLookAndFeel* m_pLookAndFeel;
    juce::Justification m_justification;
    juce::String m_fontName;
    int m_fontStyle;
    bool m_bReturnKeyDown; // Return was pressed on the button and its click is still to come

    JUCE_DECLARE_NON_COPYABLE(AlineButton)
};
