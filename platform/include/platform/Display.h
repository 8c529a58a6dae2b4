#pragma once

// Whether the program can open a window: a graphical display is reachable.
//
// Any thread; call it before the window system is used (JUCE would crash without a display).
namespace platform
{
bool graphicalDisplayAvailable();
} // namespace platform
