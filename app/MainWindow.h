#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class MainComponent;

// The program's one window: fixed size, always on top, the native title bar without buttons,
// centred; its content is the MainComponent, which it owns.
//
// Threading: message thread only.
class MainWindow : public juce::DocumentWindow, private juce::FocusChangeListener
{
public:
    MainWindow();
    ~MainWindow() override;

    // A request to close the window (the window manager's close) takes the program's own way out.
    void closeButtonPressed() override;

    // Not owned here: the window owns its content.
    MainComponent* m_pMainComponent;

protected:
    // Passes the keyboard focus on to the child that had it last (see MainWindow.cpp).
    void focusGained(FocusChangeType cause) override;

private:
    void globalFocusChanged(juce::Component* focused) override;

    // Tells the window manager, now and whenever JUCE writes the window's size hints again, that
    // the size the window was placed with is its least and greatest size; release ends that
    // (MainWindow_<window system>.cpp).
    void pinNativeSize();
    void releaseNativeSize();

    juce::Rectangle<int> m_placedSize; // logical, at (0, 0)
    juce::Component::SafePointer<juce::Component> m_pLastFocusedChild;

    JUCE_DECLARE_NON_COPYABLE(MainWindow)
};
