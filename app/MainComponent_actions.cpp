// The user's actions: the two buttons, the language box and the quit steps. Message thread.
#include "MainComponent.h"

#include <AlineButton.h>
#include <HidCtrl.h>
#include <Loader.h>

#include <cstring>

namespace
{
constexpr int kStopTimeoutMs = 5000;

bool isUpdateFileError(juce::int32 state) { return state >= kErrNoFile && state <= kErrFileCrc; }
} // namespace

void MainComponent::buttonClicked(juce::Button* button)
{
    if (button == m_pOkButton)
        OnOkClicked();
    else if (button == m_pCancelButton)
        QuitSequence();
}

void MainComponent::OnOkClicked()
{
    auto state = m_updState.load();
    if (state == kStateWaitStart)
    {
        // Start. The worker begins the transfer at its next turn.
        m_updState.compare_exchange_strong(state, kStatePrepare);
        return;
    }
    if (state != kStateLanguage)
    {
        QuitSequence(); // the second Start, or a caption of a later screen
        return;
    }
    // OK stays on the screen while the worker runs the device checks; the update table is the
    // worker's by then, so a second click does nothing.
    if (isThreadRunning())
        return;

    CheckUpdFile();
    if (!isUpdateFileError(m_updState.load()))
    {
        if (m_pHidCtrl->m_bConnected != 0)
            StartUpdate();
        else
            SetUpdState(kErrNotConnected);
    }
    UpdateDrawing();
}

void MainComponent::StartUpdate()
{
    m_responseEvent.reset(); // a report that came before the worker is no reply
    startThread();
}

// Wakes a worker that waits for a reply (the zeroed reply answers nothing) or pauses, and waits
// for it to end. The device gets no command on the way out: the exit flag is up before the worker
// wakes, so it sends nothing more.
void MainComponent::StopWorker()
{
    {
        const juce::ScopedLock lock(m_replyLock);
        std::memset(m_recvBuf, 0, sizeof m_recvBuf);
    }
    signalThreadShouldExit();
    m_responseEvent.signal();
    if (isThreadRunning())
        stopThread(kStopTimeoutMs);
}

void MainComponent::QuitSequence()
{
    StopWorker();
    if (auto* application = juce::JUCEApplicationBase::getInstance())
        application->systemRequestedQuit();
}

void MainComponent::comboBoxChanged(juce::ComboBox* comboBox)
{
    if (comboBox != m_pLangs)
        return;
    auto* texts = TxtLoader::getInstance();
    const auto lang = (LangIdTable_t)(m_pLangs->getSelectedId() - 1);
    if (lang != texts->m_langId)
        texts->setLocale(lang);
    m_pLangs->resized(); // the box's label takes the new language's font
    UpdateDrawing();
}
