#include "platform/linux/atspi/AtspiWindowList.h"

#include <filesystem>

#include "platform/linux/atspi/AtspiDesktop.h"

namespace {

// A question may take this many call limits.
constexpr int WINDOW_LIST_CALLS = 4;
// The top-level elements of an application looked at, at most.
constexpr int MOST_WINDOWS = 50;

bool isWindow(AtspiAccessible* accessible) {
  const AtspiRole role = atspi_accessible_get_role(accessible, nullptr);
  return role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_DIALOG;
}

std::string executableOf(long pid) {
  std::error_code error;
  auto target = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
  return error ? "" : target.string();
}

AppWindow describe(AtspiAccessible* app) {
  AppWindow window;
  window.pid = AtspiDesktop::processOf(app);
  GError* error = nullptr;
  GMemoryPtr<char> name(atspi_accessible_get_name(app, &error));
  GErrorPtr owned(error);
  if (name) window.wmClass = name.get();
  if (window.pid > 0) window.executable = executableOf(window.pid);
  return window;
}

}  // namespace

AtspiWindowList::AtspiWindowList(std::chrono::milliseconds callLimit) : callLimit_(callLimit) {}

bool AtspiWindowList::available() {
  auto desktop = AtspiDesktop::ask(callLimit_, WINDOW_LIST_CALLS);
  return desktop && desktop->answers();
}

std::vector<AppWindow> AtspiWindowList::appWindows() {
  std::vector<AppWindow> windows;
  auto desktop = AtspiDesktop::ask(callLimit_, WINDOW_LIST_CALLS);
  if (!desktop) return windows;
  for (auto& app : desktop->applications()) {
    bool framed = false;
    bool shown = false;
    for (auto& top : desktop->childrenOf(app.get(), MOST_WINDOWS)) {
      if (!isWindow(top.get())) continue;
      framed = true;
      shown = shown || !AtspiDesktop::hasState(top.get(), ATSPI_STATE_ICONIFIED);
    }
    if (!framed) continue;
    AppWindow window = describe(app.get());
    window.hidden = !shown;
    windows.push_back(std::move(window));
  }
  return windows;
}

std::optional<AppWindow> AtspiWindowList::activeWindow() {
  auto desktop = AtspiDesktop::ask(callLimit_, WINDOW_LIST_CALLS);
  if (!desktop) return std::nullopt;
  auto apps = desktop->applications();
  for (auto& app : apps) {
    for (auto& top : desktop->childrenOf(app.get(), MOST_WINDOWS)) {
      if (isWindow(top.get()) && AtspiDesktop::hasState(top.get(), ATSPI_STATE_ACTIVE)) {
        return describe(app.get());
      }
    }
  }
  // Toolkits that do not mark their windows active still mark the element with focus.
  for (auto& app : apps) {
    if (desktop->expired()) break;
    auto focused = desktop->focusedIn(app.get());
    if (focused && *focused) return describe(app.get());
  }
  return std::nullopt;
}
