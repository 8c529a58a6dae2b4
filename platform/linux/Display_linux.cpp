#include "Display.h"

#include <X11/Xlib.h>

namespace platform
{

// The X server named by DISPLAY, the one JUCE will connect to; opening and closing a connection is
// the only sure test (DISPLAY may be set and the server gone).
bool graphicalDisplayAvailable()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return false;
    XCloseDisplay(display);
    return true;
}

} // namespace platform
