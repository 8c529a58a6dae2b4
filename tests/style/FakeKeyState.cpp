// Replaces the window system's keyboard state (style/KeyState.cpp) in the test program.
#include "FakeKeyState.h"
#include "KeyState.h"

bool g_returnKeyHeld = false;

bool isReturnKeyCurrentlyDown() { return g_returnKeyHeld; }
