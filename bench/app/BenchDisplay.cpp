// Kept apart: Xlib's names clash with JUCE's.
#include "BenchDisplay.h"

#include <X11/Xlib.h>

#include <initializer_list>

bool prepareDisplayForJuce()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return false;
    // Atoms live until the server resets, which it does when its last client leaves: this
    // connection stays open for the life of the process.
    for (const char* atom : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "_NET_WM_PING", "WM_CHANGE_STATE",
                              "WM_STATE", "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN",
                              "_NET_WM_WINDOW_TYPE_NORMAL", "_MOTIF_WM_HINTS" })
        XInternAtom(display, atom, False);
    XSync(display, False);
    return true;
}
