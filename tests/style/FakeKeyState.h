#pragma once

// The keyboard as the button tests set it: whether Return is held down right now.
extern bool g_returnKeyHeld;
