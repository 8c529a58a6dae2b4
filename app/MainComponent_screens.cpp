// The screens: one per value of the state word. Message thread.
#include "MainComponent.h"

#include <AlineButton.h>
#include <BinaryData.h>
#include <Loader.h>
#include <TextFormat.h>

namespace
{
const juce::Colour kBackground(0xFFEAEAEA);
const juce::Colour kTextColour(0xFF000000);
constexpr float kLineHeight = 13.0f;
constexpr float kSecondBlockFallbackTop = 46.0f;
const juce::Justification kBlockJustification(juce::Justification::left | juce::Justification::top);

bool isErrorScreen(juce::int32 state) { return state >= kErrNoFile && state <= kErrOther; }
bool isUpdating(juce::int32 state) { return state >= kStateBeginBlock && state <= kStatePoll; }

juce::String text(StrIdTable_t id) { return TxtLoader::getInstance()->getString(id); }

juce::String modelTemplate(StrIdTable_t id) { return TextFormat::format(text(id), text(STRID_NAME_001)); }

// "Ver. %s.%02s": the digit before the point, then the two after it.
juce::String versionLine(StrIdTable_t id, const juce::String& version)
{
    return TextFormat::format(text(id), version.substring(0, 1), version.substring(2, 4));
}

juce::String errorLine(juce::int32 state)
{
    return "\n\nError ID:\t0x" + juce::String::toHexString(state).toUpperCase().paddedLeft('0', 4);
}

juce::String dspContents(juce::int32 mask)
{
    juce::String contents("Update Contents:");
    if ((mask & 1) != 0)
        contents += "\n\t+-- DSP PROGRAM UPDATE";
    if ((mask & 2) != 0)
        contents += "\n\t+-- DSP DATA UPDATE";
    if ((mask & 4) != 0)
        contents += "\n\t+-- DSP CYMBAL UPDATE";
    return contents;
}
} // namespace

void MainComponent::UpdateDrawing()
{
    m_shownScreen = CurrentScreenInputs();
    const juce::String fontName = TxtLoader::getInstance()->getFont();
    if (auto* parent = getParentComponent())
        parent->setName(text(STRID_STR_0000));

    m_progress = m_workerProgress.load();
    m_msgGlyphs.clear();
    BuildMessage(m_updState.load(), fontName);

    auto state = m_updState.load();
    if (state == kStateLanguage)
    {
        m_pLangs->setSelectedId(TxtLoader::getInstance()->m_langId + 1, juce::sendNotificationAsync);
        m_pLangs->setVisible(true);
        m_pLangs->resized();
    }
    else
    {
        m_pLangs->setVisible(false);
    }
    const bool updating = isUpdating(m_updState.load());
    m_pProgressBar->setVisible(updating);
    if (updating != m_progressFollower.isTimerRunning())
        updating ? m_progressFollower.startTimerHz(30) : m_progressFollower.stopTimer();

    m_pOkButton->setFont(fontName);
    m_pCancelButton->setFont(fontName);
    LayOutButtons(m_updState.load());
    repaint();
}

void MainComponent::AddBlock(const juce::String& blockText, const juce::String& fontName, int style,
                             juce::Rectangle<float> area)
{
    m_msgGlyphs.addFittedText(juce::Font(fontName, kLineHeight, style), blockText, area.getX(), area.getY(),
                              area.getWidth(), area.getHeight(), kBlockJustification,
                              (int)(area.getHeight() / kLineHeight), 0.0f);
}

float MainComponent::LastGlyphBottom() const
{
    const int count = m_msgGlyphs.getNumGlyphs();
    if (count == 0)
        return 0.0f;
    return m_msgGlyphs.getBoundingBox(count - 1, 1, true).getBottom();
}

juce::Rectangle<float> MainComponent::FollowOnArea(float top) const
{
    return { 40.0f, top, (float)getWidth() - 60.0f, (float)getHeight() - top };
}

void MainComponent::BuildMessage(juce::int32 state, const juce::String& fontName)
{
    const auto width = (float)getWidth();
    const auto height = (float)getHeight();
    const juce::Rectangle<float> mainArea(20.0f, 20.0f, width - 40.0f, height - 20.0f);
    const juce::Rectangle<float> errorArea(105.0f, 20.0f, width - 125.0f, height - 20.0f);

    // A heading ending in "\n\n" leaves one empty line; where the platform gives the line break
    // no width, its box is empty and the fallback stands in for the same place.
    auto headingWithText = [&](const juce::String& heading, StrIdTable_t textId)
    {
        AddBlock(heading + "\n\n", fontName, juce::Font::bold, mainArea);
        const float bottom = LastGlyphBottom();
        AddBlock(text(textId), fontName, juce::Font::plain,
                 FollowOnArea(bottom == 0.0f ? kSecondBlockFallbackTop : bottom));
    };

    if (state == kStateLanguage)
    {
        headingWithText(text(STRID_STR_0005), STRID_STR_0006);
    }
    else if (state == kStateWaitStart && m_updMask == 8)
    {
        AddBlock(modelTemplate(STRID_STR_0009), fontName, juce::Font::bold, mainArea);
        AddBlock(versionLine(STRID_STR_0010, m_deviceSysVer) + "\n" + versionLine(STRID_STR_0011, m_fileSysVer),
                 fontName, juce::Font::plain, FollowOnArea(LastGlyphBottom()));
    }
    else if (state == kStateWaitStart)
    {
        AddBlock(dspContents(m_updMask), fontName, juce::Font::bold, mainArea);
    }
    else if (isUpdating(state))
    {
        headingWithText(modelTemplate(STRID_STR_0012), STRID_STR_0013);
    }
    else if (state == kStateFinished)
    {
        AddBlock(modelTemplate(STRID_STR_0014), fontName, juce::Font::plain, mainArea);
    }
    else if (state == kErrNotConnected)
    {
        AddBlock(modelTemplate(STRID_STR_0008) + errorLine(state), fontName, juce::Font::plain, errorArea);
    }
    else if (state >= kErrNoFile && state <= kErrFileCrc)
    {
        AddBlock(text(STRID_STR_0007) + errorLine(state), fontName, juce::Font::plain, errorArea);
    }
    else if (state >= kErrDeviceVersion && state <= kErrOther)
    {
        AddBlock(text(STRID_STR_0015) + "\n" + text(STRID_STR_0016) + errorLine(state), fontName, juce::Font::plain,
                 errorArea);
    }
}

void MainComponent::ShowButton(AlineButton& button, StrIdTable_t caption, bool rightPlace)
{
    button.setVisible(true);
    button.setButtonText(text(caption));
    button.setBounds(getWidth() - (rightPlace ? 120 : 230), getHeight() - 40, 100, 20);
}

void MainComponent::LayOutButtons(juce::int32 state)
{
    if (state == kStateLanguage || state == kStateWaitStart)
    {
        ShowButton(*m_pOkButton, state == kStateLanguage ? STRID_STR_0001 : STRID_STR_0002, true);
        ShowButton(*m_pCancelButton, state == kStateLanguage ? STRID_STR_0003 : STRID_STR_0004, false);
    }
    else if (isUpdating(state))
    {
        m_pOkButton->setVisible(false);
        m_pCancelButton->setVisible(false);
    }
    else if (state == kStateFinished || isErrorScreen(state))
    {
        m_pOkButton->setVisible(false);
        ShowButton(*m_pCancelButton, state == kStateFinished ? STRID_STR_0001 : STRID_STR_0004, true);
    }
    // State 2 and values without a screen leave the buttons as they are.
}

void MainComponent::paint(juce::Graphics& g)
{
    g.fillAll(kBackground);
    if (isErrorScreen(m_updState.load()))
    {
        const auto icon = juce::ImageCache::getFromMemory(BinaryData::warning_png, BinaryData::warning_pngSize);
        g.drawImage(icon, 20, 15, 64, 64, 0, 0, icon.getWidth(), icon.getHeight(), false);
    }
    g.setColour(kTextColour);
    m_msgGlyphs.draw(g);
    MoveKeyboardFocus(m_updState.load());
}

void MainComponent::MoveKeyboardFocus(juce::int32 state)
{
    const bool buttonHasFocus = m_pOkButton->hasKeyboardFocus(true) || m_pCancelButton->hasKeyboardFocus(true);
    if (state == kStateLanguage && !buttonHasFocus && !m_pLangs->hasKeyboardFocus(true))
        m_pOkButton->grabKeyboardFocus();
    else if (state == kStateWaitStart && !buttonHasFocus)
        m_pOkButton->grabKeyboardFocus();
    else if ((state == kStateFinished || isErrorScreen(state)) && !m_pCancelButton->hasKeyboardFocus(true))
        m_pCancelButton->grabKeyboardFocus();
}

void MainComponent::resized()
{
    UpdateDrawing();
    const int width = getWidth();
    const int height = getHeight();
    m_pLangs->setBounds(20, height - 80, width - 40, 20);
    m_pProgressBar->setBounds(20, height - 80, width - 40, 20);
    if (m_pOkButton->isVisible())
    {
        m_pOkButton->setBounds(width - 120, height - 40, 100, 20);
        m_pCancelButton->setBounds(width - 230, height - 40, 100, 20);
    }
    else
    {
        m_pCancelButton->setBounds(width - 120, height - 40, 100, 20);
    }
}

bool MainComponent::ScreenInputs::operator==(const ScreenInputs& other) const
{
    return state == other.state && mask == other.mask && lang == other.lang && width == other.width &&
           height == other.height && hasParent == other.hasParent;
}

MainComponent::ScreenInputs MainComponent::CurrentScreenInputs() const
{
    return { m_updState.load(), m_updMask,   (int)TxtLoader::getInstance()->m_langId,
             getWidth(),        getHeight(), getParentComponent() != nullptr };
}

// A request that would build the same screen leaves it as it is: each rebuild lays the text out
// and repaints.
void MainComponent::handleAsyncUpdate()
{
    const juce::ScopedLock lock(m_drawLock);
    m_progress = m_workerProgress.load();
    if (CurrentScreenInputs() == m_shownScreen)
        return;
    UpdateDrawing();
}
