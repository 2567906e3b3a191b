#pragma once

#include <vector>

#include "platform/SyntheticInput.h"

// The key code that types "v" on the keyboard's layout, the lowest such code; the key at the
// V position when none does.
unsigned pasteKeyCode(const PasteKeys& keys);
// The key events of the paste keystroke: Control+V, or Control+Shift+V, the way terminals
// paste; the modifiers go down first and come up last.
std::vector<KeyStep> pasteSteps(const PasteKeys& keys, unsigned code, bool terminal);
