// The main component's construction and tear-down.
#include "MainComponent.h"

#include <AlineButton.h>
#include <HidCtrl.h>
#include <Loader.h>
#include <ProgressLookAndFeel.h>
#include <platform/JuceRunLoopBridge.h>

namespace
{
const juce::Colour kButtonColour(0xFFEAEAEA);
const juce::Colour kProgressForeground(0xFF3D3D3D);
const juce::Colour kProgressBackground(0xFF080808);
constexpr int kDeviceTypeQel720 = 1;
constexpr int kOldestNewOS = 0x107; // the framework's number for Mac OS X 10.7
} // namespace

MainComponent::MainComponent() : juce::Thread("UpdatingThread"), m_updateFolder(updateFolder())
{
    TxtLoader::createInstance();
    auto* texts = TxtLoader::getInstance();

    // Every component without a look of its own, the window included, draws with this one. The
    // typeface cache still holds what the previous default resolved.
    m_langLookAndFeel.setDefaultSansSerifTypefaceName("Hiragino Maru Gothic Pro W4");
    juce::LookAndFeel::setDefaultLookAndFeel(&m_langLookAndFeel);
    juce::Typeface::clearTypefaceCache();

    m_pLangs = new juce::ComboBox("langs");
    addAndMakeVisible(m_pLangs);
    m_pLangs->setLookAndFeel(&m_langLookAndFeel);
    m_pLangs->addListener(this);
    m_pLangs->setWantsKeyboardFocus(false);
    for (int lang = LANG_EN; lang < LANG_MAX; ++lang)
        if (texts->m_bLangEnable[lang])
            m_pLangs->addItem(texts->getLang((LangIdTable_t)lang), lang + 1);
    m_pLangs->setSelectedId(texts->m_langId + 1, juce::sendNotificationAsync);

    m_pProgressLookAndFeel = new ProgressLookAndFeel();
    m_pProgressBar = new juce::ProgressBar(m_progress);
    addAndMakeVisible(m_pProgressBar);
    m_pProgressBar->setLookAndFeel(m_pProgressLookAndFeel);
    m_pProgressBar->setColour(juce::ProgressBar::foregroundColourId, kProgressForeground);
    m_pProgressBar->setColour(juce::ProgressBar::backgroundColourId, kProgressBackground);

    for (auto* name : { "OK", "Cancel" })
    {
        auto* button = new AlineButton(name);
        (juce::String(name) == "OK" ? m_pOkButton : m_pCancelButton) = button;
        addAndMakeVisible(button);
        button->addListener(this);
        button->setStyle(juce::Font::bold);
        button->setColour(juce::TextButton::buttonColourId, kButtonColour);
        button->setColour(juce::TextButton::buttonOnColourId, kButtonColour);
    }

    // The HID callbacks are scheduled on this thread's run loop, which JUCE's event loop serves
    // through the bridge; it must exist before the link is initialised and outlive it.
    m_pRunLoopBridge = std::make_unique<platform::JuceRunLoopBridge>();
    m_pHidCtrl = new HidCtrl();
    m_pHidCtrl->initialize(this, kDeviceTypeQel720);

    m_bOldOS = juce::SystemStats::getOperatingSystemType() < kOldestNewOS;
}

MainComponent::~MainComponent()
{
    // Every way out of the program stops the worker before the window goes, but the framework's
    // own quit does not: stop it here before the link, the widgets and the event it uses go.
    StopWorker();
    cancelPendingUpdate();
    m_progressFollower.stopTimer();

    delete m_pLangs;
    m_pLangs = nullptr;
    delete m_pProgressBar;
    m_pProgressBar = nullptr;
    delete m_pOkButton;
    m_pOkButton = nullptr;
    delete m_pCancelButton;
    m_pCancelButton = nullptr;
    delete m_pProgressLookAndFeel;
    m_pProgressLookAndFeel = nullptr;

    if (m_pHidCtrl != nullptr)
    {
        m_pHidCtrl->finalize();
        delete m_pHidCtrl;
    }
    m_pRunLoopBridge.reset();
    TxtLoader::releaseInstance();
}
