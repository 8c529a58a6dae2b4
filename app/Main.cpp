// Entry point of the QEL-720 updater: the application object and its main window.
#include <juce_gui_basics/juce_gui_basics.h>

namespace
{
const juce::Colour kBackground{ 0xFFEAEAEA };

class MainWindow final : public juce::DocumentWindow
{
public:
    explicit MainWindow(const juce::String& name) : DocumentWindow(name, kBackground, 0)
    {
        setUsingNativeTitleBar(true);
        setResizable(false, false);
        setSize(404, 126);
        centreWithSize(getWidth(), getHeight());
        setVisible(true);
    }

    void closeButtonPressed() override { juce::JUCEApplication::getInstance()->systemRequestedQuit(); }
};

class UpdaterApplication final : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "QEL-720 Updater"; }
    const juce::String getApplicationVersion() override { return "1.0.0"; }
    bool moreThanOneInstanceAllowed() override { return false; }

    void initialise(const juce::String&) override { m_pMainWindow.reset(new MainWindow(getApplicationName())); }
    void shutdown() override { m_pMainWindow.reset(); }

private:
    std::unique_ptr<MainWindow> m_pMainWindow;
};
} // namespace

START_JUCE_APPLICATION(UpdaterApplication)
