#include "landing/lander/PasteKeystroke.h"

unsigned pasteKeyCode(const PasteKeys& keys) {
  for (unsigned code = 0; code < keys.typed.size(); ++code) {
    if (keys.typed[code] == U'v') return code;
  }
  return keys.vPosition;
}

std::vector<KeyStep> pasteSteps(const PasteKeys& keys, unsigned code, bool terminal) {
  std::vector<KeyStep> steps{{keys.control, true}};
  if (terminal) steps.push_back({keys.shift, true});
  steps.push_back({code, true});
  steps.push_back({code, false});
  if (terminal) steps.push_back({keys.shift, false});
  steps.push_back({keys.control, false});
  return steps;
}
