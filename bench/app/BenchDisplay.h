#pragma once

// The X server of a benchmark run (xvfb-run gives one without a window manager): makes the atoms
// that a window manager would have made and JUCE only looks up, so that JUCE can open windows.
// Keeps a connection open for the life of the process. False when no display is reachable.
bool prepareDisplayForJuce();
