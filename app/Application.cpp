#include "Application.h"

#include "MainWindow.h"

Application::Application() : m_pMainWindow(nullptr) {}

Application::~Application() = default;

const juce::String Application::getApplicationName() { return "Qel720UpdateProgram"; }

const juce::String Application::getApplicationVersion() { return "1.0.0"; }

bool Application::moreThanOneInstanceAllowed() { return false; }

void Application::initialise(const juce::String&) { m_pMainWindow = new MainWindow(); }

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
