#include "platform/linux/swayipc/SwayWindowList.h"

#include <cstdlib>

#include "platform/linux/ProcessFacts.h"
#include "platform/linux/swayipc/SwayIpcClient.h"
#include "platform/linux/swayipc/SwayTree.h"

namespace {

std::string swaySocket() {
  const char* path = std::getenv("SWAYSOCK");
  return path ? path : "";
}

std::vector<SwayTree::View> viewsOf(const std::string& socketPath,
                                    std::chrono::milliseconds limit) {
  if (socketPath.empty()) return {};
  auto reply = SwayIpcClient(socketPath, limit).request(SwayIpcClient::GET_TREE);
  if (!reply) return {};
  auto views = SwayTree::parse(*reply);
  if (!views) return {};
  for (auto& view : *views) {
    if (view.window.pid <= 0) continue;
    view.window.executable = executableOf(view.window.pid);
    view.window.launchedEntry = launchedEntryOf(view.window.pid);
  }
  return std::move(*views);
}

}  // namespace

SwayWindowList::SwayWindowList() : SwayWindowList(swaySocket(), DEFAULT_LIMIT) {}

SwayWindowList::SwayWindowList(std::string socketPath, std::chrono::milliseconds limit)
    : socketPath_(std::move(socketPath)), limit_(limit) {}

bool SwayWindowList::available() {
  if (socketPath_.empty()) return false;
  return SwayIpcClient(socketPath_, limit_).request(SwayIpcClient::GET_VERSION).has_value();
}

std::vector<AppWindow> SwayWindowList::appWindows() {
  std::vector<AppWindow> windows;
  for (auto& view : viewsOf(socketPath_, limit_)) windows.push_back(std::move(view.window));
  return windows;
}

std::optional<AppWindow> SwayWindowList::activeWindow() {
  for (auto& view : viewsOf(socketPath_, limit_)) {
    if (view.focused) return std::move(view.window);
  }
  return std::nullopt;
}
