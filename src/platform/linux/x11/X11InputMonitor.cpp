#include "platform/linux/x11/X11InputMonitor.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <pthread.h>

namespace {

struct KeyKind {
  KeyName name = KeyName::Other;
  bool modifier = false;
  unsigned bit = 0;  // its ModifierBit, 0 for modifiers the watcher does not weigh
};

KeyKind kindOf(KeySym symbol) {
  using namespace ModifierBit;
  switch (symbol) {
    case XK_Escape: return {KeyName::Escape, false, 0};
    case XK_Control_L: return {KeyName::ControlLeft, true, CONTROL};
    case XK_Control_R: return {KeyName::ControlRight, true, CONTROL};
    case XK_Shift_L:
    case XK_Shift_R: return {KeyName::ShiftKey, true, SHIFT};
    case XK_Alt_L:
    case XK_Meta_L:
    case XK_Meta_R: return {KeyName::AltLeft, true, ALT_LEFT};
    case XK_Alt_R:
    case XK_ISO_Level3_Shift: return {KeyName::AltRight, true, ALT_RIGHT};
    case XK_Super_L:
    case XK_Super_R:
    case XK_Hyper_L:
    case XK_Hyper_R: return {KeyName::SuperKey, true, SUPER};
    default: return {KeyName::Other, IsModifierKey(symbol) != 0, 0};
  }
}

// Scroll wheel buttons, which are not clicks.
bool isWheel(unsigned button) { return button >= 4 && button <= 7; }

}  // namespace

X11InputMonitor::~X11InputMonitor() {
  stopping_ = true;
  stop_.notify();
  if (thread_.joinable()) thread_.join();
}

std::string X11InputMonitor::start(Handler handler) {
  display_ = openDisplay();
  if (!display_) return "no X display";
  Display* d = display_.get();
  int event = 0, error = 0, major = 2, minor = 0;
  if (!XQueryExtension(d, "XInputExtension", &opcode_, &event, &error) ||
      XIQueryVersion(d, &major, &minor) != Success) {
    return "the X display has no XInput2";
  }
  unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(mask, XI_RawKeyPress);
  XISetMask(mask, XI_RawKeyRelease);
  XISetMask(mask, XI_RawButtonPress);
  XIEventMask events{XIAllMasterDevices, sizeof mask, mask};
  XISelectEvents(d, DefaultRootWindow(d), &events, 1);
  // The keys already down when watching begins.
  char keys[32] = {};
  XQueryKeymap(d, keys);
  for (unsigned code = 0; code < 256; ++code) {
    if ((keys[code / 8] >> (code % 8)) & 1) pressed_.insert(code);
  }
  XSync(d, False);
  thread_ = std::thread([this, handler = std::move(handler)] { watch(handler); });
  return "";
}

void X11InputMonitor::watch(Handler handler) {
  pthread_setname_np(pthread_self(), "vesk.keys");
  Display* d = display_.get();
  pollfd fds[2] = {{ConnectionNumber(d), POLLIN, 0}, {stop_.fd(), POLLIN, 0}};
  while (!stopping_) {
    if (XPending(d) == 0) {
      poll(fds, 2, -1);
      if (fds[0].revents & (POLLHUP | POLLERR)) return;  // the display went away
      continue;
    }
    XEvent event;
    XNextEvent(d, &event);
    XGenericEventCookie* cookie = &event.xcookie;
    if (cookie->type != GenericEvent || cookie->extension != opcode_ ||
        !XGetEventData(d, cookie)) {
      continue;
    }
    const auto* raw = static_cast<const XIRawEvent*>(cookie->data);
    const int type = raw->evtype;
    const auto detail = static_cast<unsigned>(raw->detail);
    XFreeEventData(d, cookie);
    seen(type, detail, handler);
  }
}

void X11InputMonitor::seen(int type, unsigned detail, const Handler& handler) {
  InputEvent event;
  event.code = detail;
  if (type == XI_RawButtonPress) {
    if (isWheel(detail)) return;
    event.type = InputEvent::Type::MouseDown;
  } else {
    event.down = type == XI_RawKeyPress;
    // A repeated press or release is the same change again.
    if (event.down == (pressed_.count(detail) > 0)) return;
    if (event.down) {
      pressed_.insert(detail);
    } else {
      pressed_.erase(detail);
    }
    Display* d = display_.get();
    const KeyKind kind = kindOf(XkbKeycodeToKeysym(d, static_cast<KeyCode>(detail), 0, 0));
    event.key = kind.name;
    if (kind.modifier) {
      event.type = InputEvent::Type::FlagsChanged;
    } else {
      event.type = event.down ? InputEvent::Type::KeyDown : InputEvent::Type::KeyUp;
    }
    for (unsigned code : pressed_) {
      event.modifiers |= kindOf(XkbKeycodeToKeysym(d, static_cast<KeyCode>(code), 0, 0)).bit;
    }
  }
  try {
    handler(event);
  } catch (...) {
    // The handler only hands the event over; nothing of it may end the watch.
  }
}
