// The window's size hints on X11. JUCE writes a fixed window's least and greatest size into
// WM_NORMAL_HINTS and then, in the same setBounds, replaces the hints with position and size
// alone; it calls setBounds again on the first paint and on the first paint after a few idle
// seconds (when it makes a new buffer to paint into). A window manager that does not read the
// Motif hints, or a resize request from another client, could then give the window any size. So
// every hints write of JUCE's for this window goes through setHintsKeepingSize, which adds the
// placed size as least and greatest size: there is never a moment without them.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include <juce_gui_basics/juce_gui_basics.h>

#include "MainWindow.h"

namespace
{
// Message thread, under JUCE's X lock: the one window that keeps its size, and that size in
// physical pixels. JUCE's own hints writer, which setHintsKeepingSize hands on to.
::Window pinnedWindow = 0;
int pinnedWidth = 0, pinnedHeight = 0;
juce::X11Symbols::XSetWMNormalHints juceSetHints = nullptr;

void setHintsKeepingSize(::Display* display, ::Window window, XSizeHints* hints)
{
    if (window == pinnedWindow && hints != nullptr)
    {
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = pinnedWidth;
        hints->min_height = hints->max_height = pinnedHeight;
    }
    juceSetHints(display, window, hints);
}
} // namespace

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
    if (x11->xSetWMNormalHints != setHintsKeepingSize)
    {
        juceSetHints = x11->xSetWMNormalHints;
        x11->xSetWMNormalHints = setHintsKeepingSize;
    }
    pinnedWindow = window;
    pinnedWidth = bounds.getWidth();
    pinnedHeight = bounds.getHeight();

    XSizeHints* hints = x11->xAllocSizeHints();
    if (hints == nullptr)
        return;
    hints->flags = USPosition | USSize;
    hints->x = bounds.getX();
    hints->y = bounds.getY();
    hints->width = bounds.getWidth();
    hints->height = bounds.getHeight();
    x11->xSetWMNormalHints(display, window, hints);
    x11->xFree(hints);
    x11->xFlush(display);
}

void MainWindow::releaseNativeSize()
{
    juce::XWindowSystemUtilities::ScopedXLock lock;
    pinnedWindow = 0;
}
