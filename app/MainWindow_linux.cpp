// The window's size hints on X11, kept through the display connection JUCE uses, so that they
// reach the server in order with JUCE's own requests for the window.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#include "MainWindow.h"

// JUCE writes a fixed window's least and greatest size into WM_NORMAL_HINTS and then, in the same
// setBounds, replaces the hints with position and size alone: a window manager that does not read
// the Motif hints, or a resize request from another client, could give the window any size. They
// are written anew, all of them; no reply is waited for (see MainWindow::focusGained).
void MainWindow::pinNativeSize()
{
    auto* peer = getPeer();
    if (peer == nullptr)
        return;
    const auto window = (::Window)(juce::pointer_sized_uint)peer->getNativeHandle();
    const auto bounds = juce::Desktop::getInstance().getDisplays().logicalToPhysical(
        peer->getBounds().withSize(m_placedSize.getWidth(), m_placedSize.getHeight()));
    auto* display = juce::XWindowSystem::getInstance()->getDisplay();
    auto* x11 = juce::X11Symbols::getInstance();

    juce::XWindowSystemUtilities::ScopedXLock lock;
    XSizeHints* hints = x11->xAllocSizeHints();
    if (hints == nullptr)
        return;
    hints->flags = USPosition | USSize | PMinSize | PMaxSize;
    hints->x = bounds.getX();
    hints->y = bounds.getY();
    hints->width = hints->min_width = hints->max_width = bounds.getWidth();
    hints->height = hints->min_height = hints->max_height = bounds.getHeight();
    x11->xSetWMNormalHints(display, window, hints);
    x11->xFree(hints);
    x11->xFlush(display);
}
