#include "AlineButton.h"

#include "BtnLookAndFeel.h"
#include "KeyState.h"

namespace
{
const juce::Colour kCaptionColour(0xFF101010);
} // namespace

AlineButton::AlineButton(const juce::String& buttonName)
    : juce::Button(buttonName),
      m_pLookAndFeel(nullptr),
      m_justification(juce::Justification::centred),
      m_fontName(juce::Font::getDefaultSansSerifFontName()),
      m_fontStyle(juce::Font::plain),
      m_bReturnKeyDown(false)
{
    m_pLookAndFeel = new BtnLookAndFeel();
    setLookAndFeel(m_pLookAndFeel);

    setColour(juce::TextButton::buttonColourId, juce::Colours::white);
    setColour(juce::TextButton::buttonOnColourId, juce::Colours::white);
}

AlineButton::~AlineButton()
{
    // JUCE asserts when a look-and-feel dies while a component still refers to it.
    setLookAndFeel(nullptr);

    if (m_pLookAndFeel != nullptr)
        delete m_pLookAndFeel;

    m_pLookAndFeel = nullptr;
}

void AlineButton::setButtonText(const juce::String& newText)
{
    if (newText == getButtonText())
        repaint();
    else
        juce::Button::setButtonText(newText);
}

void AlineButton::setFont(const juce::String& typefaceName) { m_fontName = typefaceName; }

void AlineButton::setStyle(const int& styleFlags) { m_fontStyle = styleFlags; }

bool AlineButton::keyPressed(const juce::KeyPress& key)
{
    // Return with Shift, Ctrl, Alt or Cmd is not Return here and goes to the parents.
    if (!(key == juce::KeyPress::returnKey))
        return false;

    // The click waits for the key to come up (see paintButton); the base's immediate
    // click on Return must not run.
    m_bReturnKeyDown = true;
    repaint();
    return true;
}

void AlineButton::paintButton(juce::Graphics& g, bool isMouseOverButton, bool isButtonDown)
{
    // Taken before finishReturnKeyCycle clears it, so the paint that notices the release
    // still shows the button pressed.
    const bool returnPending = m_bReturnKeyDown;

    const auto colourId = getToggleState() ? juce::TextButton::buttonOnColourId : juce::TextButton::buttonColourId;
    getLookAndFeel().drawButtonBackground(g, *this, findColour(colourId, false), isMouseOverButton,
                                          isButtonDown || returnPending);

    paintCaption(g);

    if (hasKeyboardFocus(true))
        paintFocusMark(g);

    finishReturnKeyCycle();
}

void AlineButton::paintCaption(juce::Graphics& g)
{
    const float height = juce::jmin((float)getHeight() * 0.8f, 13.0f);

    g.setFont(juce::Font(m_fontName, height, m_fontStyle));
    g.setColour(kCaptionColour);
    g.drawFittedText(getButtonText(), 4, 4, getWidth() - 8, getHeight() - 8, m_justification, 1, 0.0f);
}

void AlineButton::paintFocusMark(juce::Graphics& g)
{
    const float w = (float)getWidth();
    const float h = (float)getHeight();

    g.setColour(juce::Colours::grey);
    g.drawRect(juce::Rectangle<float>(0.05f * w, 0.15f * h, 0.9f * w, 0.7f * h), 0.5f);
}

void AlineButton::finishReturnKeyCycle()
{
    // While Return is held every paint asks for the next one, so the release is noticed
    // promptly; the first paint with the key up sends the one click.
    if (isReturnKeyCurrentlyDown())
    {
        repaint();
    }
    else if (m_bReturnKeyDown)
    {
        m_bReturnKeyDown = false;
        triggerClick();
    }
}
