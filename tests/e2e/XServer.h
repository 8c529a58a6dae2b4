#pragma once

#include <juce_graphics/juce_graphics.h>

#include <string>
#include <sys/types.h>

// A private X server (Xvfb) for one test, and what a test asks of it: the program's windows, their
// pixels and keyboard focus, keys typed as a user would (xdotool), and a window manager's close
// request. There is no window manager: the atoms JUCE expects from one are made here.
//
// Threading: the test's thread only.
class XServer
{
public:
    using Window = unsigned long; // X11's window id (Xlib's own header clashes with JUCE's names)

public:
    XServer();
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool running() const { return m_display != nullptr; }
    // The value for DISPLAY, e.g. ":12".
    const std::string& name() const { return m_name; }

    // The top-level windows whose title is `title`.
    std::vector<Window> windowsNamed(const std::string& title);
    // Waits for exactly one such window; 0 when none came in time.
    Window waitForWindow(const std::string& title, int timeoutMs = 20000);
    std::string title(Window window);
    juce::Rectangle<int> bounds(Window window);
    // What the window shows.
    juce::Image capture(Window window);
    // What the screen shows in that area (other windows over the program's included).
    juce::Image captureScreen(juce::Rectangle<int> area);
    // The colour at (x, y) inside the window.
    juce::Colour pixel(Window window, int x, int y);
    // Waits until the pixel has (or, with `equal` false, no longer has) the colour.
    bool waitForPixel(Window window, int x, int y, juce::Colour colour, bool equal = true, int timeoutMs = 20000);
    Window focusedWindow();
    // Gives the keyboard focus to no window of the program.
    void focusRoot();
    // What the window lets a window manager offer (the Motif hints' functions: 2 resize, 4 move,
    // 8 minimise, 16 maximise, 32 close); -1 when it says nothing.
    long windowFunctions(Window window);

    // Presses and releases a key (an X keysym name such as "Return") with xdotool.
    void key(const char* keysym);
    // Clicks the first mouse button at (x, y) inside the window with xdotool.
    void click(Window window, int x, int y);
    // Asks with xdotool for the window to take that size, and answers the request as a window
    // manager that reads the size hints (not the Motif hints) would: within their least and
    // greatest size. False when no request came in time.
    bool resize(Window window, int width, int height);
    // What a window manager sends when the user closes the window.
    void requestClose(Window window);

private:
    pid_t m_server = -1;
    std::string m_name;
    struct _XDisplay* m_display = nullptr;
};
