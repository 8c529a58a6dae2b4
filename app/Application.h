#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class MainWindow;

namespace platform
{
class SingleInstance;
}

// The application object: one instance of the program, one main window.
//
// Threading: every operation runs on the message thread.
// Ownership: owns the main window (created by initialise, deleted by shutdown); the framework
// owns the application. The single-instance guard belongs to main(), which keeps it longer.
class Application : public juce::JUCEApplication
{
public:
    static constexpr const char* kName = "Qel720UpdateProgram";

    // singleInstance: where later launches hand over their command lines; may be null.
    explicit Application(platform::SingleInstance* singleInstance);
    ~Application() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise(const juce::String& commandLine) override;
    void shutdown() override;
    void anotherInstanceStarted(const juce::String& commandLine) override;

    MainWindow* m_pMainWindow;

private:
    platform::SingleInstance* const m_pSingleInstance;

    JUCE_DECLARE_NON_COPYABLE(Application)
};
