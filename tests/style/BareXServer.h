#pragma once

// JUCE looks up a few window-manager atoms (WM_PROTOCOLS, ...) without creating them and
// sends an invalid request when they are missing, which ends the program on an X server
// that no window manager has used, such as a fresh Xvfb. This creates them and keeps a
// connection open so the server does not reset and drop them. Returns false without a display.
bool prepareBareXServer();
