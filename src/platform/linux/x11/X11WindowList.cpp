#include "platform/linux/x11/X11WindowList.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

#include "platform/linux/ProcessFacts.h"
#include "platform/linux/x11/X11Display.h"

namespace {

constexpr int ICON_SIZE = 64;

class ErrorsIgnored {
 public:
  ErrorsIgnored() : previous_(XSetErrorHandler(ignoreXError)) {}
  ~ErrorsIgnored() { XSetErrorHandler(previous_); }
  ErrorsIgnored(const ErrorsIgnored&) = delete;
  ErrorsIgnored& operator=(const ErrorsIgnored&) = delete;

 private:
  XErrorHandler previous_;
};

std::vector<unsigned long> longsOf(Display* display, Window window, Atom property, Atom type) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* raw = nullptr;
  std::vector<unsigned long> values;
  int status = XGetWindowProperty(display, window, property, 0, 1L << 20, False, type,
                                  &actualType, &format, &count, &after, &raw);
  std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
  if (status != Success || !data || format != 32) return values;
  // Xlib hands 32-bit properties over as longs.
  const auto* items = reinterpret_cast<const unsigned long*>(data.get());
  values.assign(items, items + count);
  return values;
}

std::string textOf(Display* display, Window window, Atom property) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* raw = nullptr;
  int status = XGetWindowProperty(display, window, property, 0, 4096, False, AnyPropertyType,
                                  &actualType, &format, &count, &after, &raw);
  std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
  if (status != Success || !data || format != 8) return "";
  return std::string(reinterpret_cast<const char*>(data.get()), count);
}

struct Atoms {
  explicit Atoms(Display* display)
      : clientList(XInternAtom(display, "_NET_CLIENT_LIST", False)),
        pid(XInternAtom(display, "_NET_WM_PID", False)),
        state(XInternAtom(display, "_NET_WM_STATE", False)),
        hidden(XInternAtom(display, "_NET_WM_STATE_HIDDEN", False)),
        skipTaskbar(XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False)),
        type(XInternAtom(display, "_NET_WM_WINDOW_TYPE", False)),
        normal(XInternAtom(display, "_NET_WM_WINDOW_TYPE_NORMAL", False)),
        dialog(XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False)),
        gtkAppId(XInternAtom(display, "_GTK_APPLICATION_ID", False)),
        icon(XInternAtom(display, "_NET_WM_ICON", False)),
        activeWindow(XInternAtom(display, "_NET_ACTIVE_WINDOW", False)) {}
  Atom clientList, pid, state, hidden, skipTaskbar, type, normal, dialog, gtkAppId, icon,
      activeWindow;
};

bool contains(const std::vector<unsigned long>& values, Atom atom) {
  return std::find(values.begin(), values.end(), atom) != values.end();
}

// Windows a taskbar shows: normal windows and dialogs (or windows of no declared type) that do
// not ask to be left out of it.
bool isAppWindow(const std::vector<unsigned long>& types, const std::vector<unsigned long>& states,
                 const Atoms& atoms) {
  if (contains(states, atoms.skipTaskbar)) return false;
  return types.empty() || contains(types, atoms.normal) || contains(types, atoms.dialog);
}

// The window's own icon of the size nearest the wanted one, preferring larger (scaling down
// looks better): the property holds any number of (width, height, width × height pixels).
PixelIcon iconOf(const std::vector<unsigned long>& values, int wanted) {
  PixelIcon best;
  auto score = [wanted](unsigned long side) {
    long s = static_cast<long>(side);
    return s >= wanted ? s - wanted : 4 * (wanted - s);
  };
  std::size_t at = 0;
  constexpr unsigned long LARGEST = 1024;
  while (values.size() - at >= 2) {
    unsigned long width = values[at];
    unsigned long height = values[at + 1];
    if (width == 0 || height == 0 || width > LARGEST || height > LARGEST ||
        width * height > values.size() - at - 2) {
      break;
    }
    unsigned long side = std::max(width, height);
    auto bestSide = static_cast<unsigned long>(std::max(best.width, best.height));
    if (best.empty() || score(side) < score(bestSide)) {
      best.width = static_cast<int>(width);
      best.height = static_cast<int>(height);
      best.argb.assign(values.begin() + static_cast<long>(at + 2),
                       values.begin() + static_cast<long>(at + 2 + width * height));
    }
    at += 2 + width * height;
  }
  return best;
}

// What the window and its process say of the application.
AppWindow describe(Display* d, Window window, const Atoms& atoms, bool withIcon) {
  AppWindow app;
  auto pids = longsOf(d, window, atoms.pid, XA_CARDINAL);
  app.pid = pids.empty() ? 0 : static_cast<long>(pids.front());
  XClassHint hint{};
  if (XGetClassHint(d, window, &hint) != 0) {
    std::unique_ptr<char, XFreeDeleter> name(hint.res_name);
    std::unique_ptr<char, XFreeDeleter> type(hint.res_class);
    app.wmInstance = name ? name.get() : "";
    app.wmClass = type ? type.get() : "";
  }
  app.gtkAppId = textOf(d, window, atoms.gtkAppId);
  app.hidden = contains(longsOf(d, window, atoms.state, XA_ATOM), atoms.hidden);
  if (withIcon) app.icon = iconOf(longsOf(d, window, atoms.icon, XA_CARDINAL), ICON_SIZE);
  if (app.pid > 0) {
    app.executable = executableOf(app.pid);
    app.launchedEntry = launchedEntryOf(app.pid);
  }
  return app;
}

}  // namespace

std::vector<AppWindow> X11WindowList::appWindows() {
  std::vector<AppWindow> windows;
  auto display = openDisplay();
  if (!display) return windows;
  ErrorsIgnored quiet;
  Display* d = display.get();
  Atoms atoms(d);
  for (unsigned long window : longsOf(d, DefaultRootWindow(d), atoms.clientList, XA_WINDOW)) {
    auto states = longsOf(d, window, atoms.state, XA_ATOM);
    if (!isAppWindow(longsOf(d, window, atoms.type, XA_ATOM), states, atoms)) continue;
    windows.push_back(describe(d, window, atoms, true));
  }
  XSync(d, False);
  return windows;
}

std::optional<AppWindow> X11WindowList::activeWindow() {
  auto display = openDisplay();
  if (!display) return std::nullopt;
  ErrorsIgnored quiet;
  Display* d = display.get();
  Atoms atoms(d);
  auto active = longsOf(d, DefaultRootWindow(d), atoms.activeWindow, XA_WINDOW);
  if (active.empty() || active.front() == None) return std::nullopt;
  auto app = describe(d, active.front(), atoms, false);
  XSync(d, False);
  return app;
}
