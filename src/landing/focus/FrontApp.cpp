#include "landing/focus/FrontApp.h"

#include "platform/Platform.h"

std::optional<FrontApp> frontmostApp(Platform& platform) {
  auto window = platform.windowList->activeWindow();
  if (!window) return std::nullopt;
  FrontApp front;
  if (window->pid > 0) front.pid = window->pid;
  std::string entry =
      window->pid > 0 ? platform.processes->desktopEntryOf(static_cast<int>(window->pid)) : "";
  if (!entry.empty()) {
    front.id = entry;
  } else if (!window->wmClass.empty()) {
    front.id = window->wmClass;
  } else {
    front.id = "unknown";
  }
  return front;
}

nlohmann::json appField(const std::optional<FrontApp>& front) {
  if (front && front->pid) return {{"app", *front->pid}};
  return {{"app", nullptr}};
}

Focus focusNow(Platform& platform, std::chrono::milliseconds callLimit) {
  return focusOf(platform, frontmostApp(platform), callLimit);
}

Focus focusOf(Platform& platform, const std::optional<FrontApp>& front,
              std::chrono::milliseconds callLimit) {
  if (!front) return Focus::nothing();
  if (!front->pid) return Focus::unknown();
  return platform.focusReader->focusIn(*front->pid, callLimit);
}
