#include "BareXServer.h"

#include <X11/Xlib.h>

bool prepareBareXServer()
{
    static Display* const display = XOpenDisplay(nullptr);

    if (display == nullptr)
        return false;

    const char* const atoms[] = {
        "WM_PROTOCOLS", "WM_TAKE_FOCUS",       "WM_DELETE_WINDOW", "_NET_WM_PING",         "WM_CHANGE_STATE",
        "WM_STATE",     "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE",    "_NET_WM_STATE_HIDDEN", "_NET_WM_WINDOW_TYPE_NORMAL"
    };

    for (const char* name : atoms)
        XInternAtom(display, name, False);

    XSync(display, False);
    return true;
}
