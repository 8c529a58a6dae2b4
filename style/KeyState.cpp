#include "KeyState.h"

#include <juce_gui_basics/juce_gui_basics.h>

bool isReturnKeyCurrentlyDown() { return juce::KeyPress::isKeyCurrentlyDown(juce::KeyPress::returnKey); }
