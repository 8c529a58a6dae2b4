#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class MainComponent;

// The program's one window: fixed size, always on top, the native title bar without buttons,
// centred; its content is the MainComponent, which it owns.
//
// Threading: message thread only.
class MainWindow : public juce::DocumentWindow
{
public:
    MainWindow();
    ~MainWindow() override;

    // A request to close the window (the window manager's close) takes the program's own way out.
    void closeButtonPressed() override;

    // Not owned here: the window owns its content.
    MainComponent* m_pMainComponent;

    JUCE_DECLARE_NON_COPYABLE(MainWindow)
};
