#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class MainWindow;

// The application object: one instance of the program, one main window.
//
// Threading: every operation runs on the message thread.
// Ownership: owns the main window (created by initialise, deleted by shutdown); the framework
// owns the application.
class Application : public juce::JUCEApplication
{
public:
    Application();
    ~Application() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise(const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted(const juce::String& commandLine) override;

    MainWindow* m_pMainWindow;

    JUCE_DECLARE_NON_COPYABLE(Application)
};
