#include "Application.h"

#include "MainWindow.h"

#include <platform/SingleInstance.h>

Application::Application(platform::SingleInstance* singleInstance)
    : m_pMainWindow(nullptr),
      m_pSingleInstance(singleInstance)
{
}

Application::~Application() = default;

const juce::String Application::getApplicationName() { return kName; }

const juce::String Application::getApplicationVersion() { return "1.0.0"; }

// One instance per user is enforced before JUCE starts (main()). JUCE's own lock is one file in
// /var/tmp for every user: another user's lock file there would end this program at once, so JUCE
// is told not to take it.
bool Application::moreThanOneInstanceAllowed() { return true; }

void Application::initialise(const juce::String&)
{
    m_pMainWindow = new MainWindow();
    if (m_pSingleInstance != nullptr)
        m_pSingleInstance->startListening([this](const juce::String& commandLine)
                                          { anotherInstanceStarted(commandLine); });
}

void Application::shutdown()
{
    if (m_pMainWindow != nullptr)
        delete m_pMainWindow;
}

void Application::anotherInstanceStarted(const juce::String&)
{
    if (m_pMainWindow != nullptr && m_pMainWindow->isVisible())
        m_pMainWindow->toFront(true);
}
