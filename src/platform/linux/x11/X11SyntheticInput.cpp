#include "platform/linux/x11/X11SyntheticInput.h"

#include <X11/extensions/XTest.h>

#include "platform/linux/x11/X11Display.h"

bool X11SyntheticInput::available() {
  X11Display display = openDisplay();
  if (!display) return false;
  int event = 0, error = 0, major = 0, minor = 0;
  return XTestQueryExtension(display.get(), &event, &error, &major, &minor);
}
