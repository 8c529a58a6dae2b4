#pragma once

// Whether the Return key is held down at this moment, as the window system reports it.
// Message thread only.
//
// It lives in a unit of its own (KeyState.cpp, nothing else in it) so that a test program
// can link its own keyboard in place of the window system's.
bool isReturnKeyCurrentlyDown();
