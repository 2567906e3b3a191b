#include "main/apps/RunningApps.h"

#include <algorithm>
#include <cctype>
#include <functional>

namespace {

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string baseName(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

const AppEntry* firstWhere(const std::vector<AppEntry>& entries,
                           const std::function<bool(const AppEntry&)>& test) {
  auto found = std::find_if(entries.begin(), entries.end(), test);
  return found == entries.end() ? nullptr : &*found;
}

bool sameClass(const std::string& name, const AppWindow& window) {
  if (name.empty()) return false;
  std::string wanted = lower(name);
  return wanted == lower(window.wmClass) || wanted == lower(window.wmInstance);
}

std::string groupOf(const AppWindow& window) {
  return window.pid > 0 ? "pid:" + std::to_string(window.pid) : "class:" + window.wmClass;
}

}  // namespace

const AppEntry* entryOfWindow(const AppWindow& window, const std::vector<AppEntry>& entries) {
  if (!window.gtkAppId.empty()) {
    if (auto* entry = firstWhere(entries, [&](const AppEntry& e) {
          return withoutDesktopSuffix(e.id) == window.gtkAppId;
        })) {
      return entry;
    }
  }
  if (!window.launchedEntry.empty()) {
    if (auto* entry = firstWhere(entries, [&](const AppEntry& e) {
          return e.path == window.launchedEntry;
        })) {
      return entry;
    }
  }
  if (auto* entry = firstWhere(entries, [&](const AppEntry& e) {
        return !e.wmClass.empty() &&
               (e.wmClass == window.wmClass || e.wmClass == window.wmInstance);
      })) {
    return entry;
  }
  // By the entry's id, whole ("firefox-esr") or its last reverse-DNS part ("org.gnome.Geary").
  if (auto* entry = firstWhere(entries, [&](const AppEntry& e) {
        std::string stem = withoutDesktopSuffix(e.id);
        auto dot = stem.rfind('.');
        return sameClass(stem, window) ||
               (dot != std::string::npos && sameClass(stem.substr(dot + 1), window));
      })) {
    return entry;
  }
  std::string program = baseName(window.executable);
  if (program.empty()) return nullptr;
  return firstWhere(entries, [&](const AppEntry& e) { return baseName(e.executable) == program; });
}

std::vector<RunningApp> runningApps(const std::vector<AppWindow>& windows,
                                    const std::vector<AppEntry>& entries) {
  std::vector<RunningApp> apps;
  std::vector<std::string> groups;
  for (const auto& window : windows) {
    std::string group = groupOf(window);
    auto known = std::find(groups.begin(), groups.end(), group);
    if (known != groups.end()) {
      auto& app = apps[static_cast<std::size_t>(known - groups.begin())];
      app.hidden = app.hidden && window.hidden;
      continue;
    }
    RunningApp app;
    app.hidden = window.hidden;
    app.windowIcon = window.icon;
    if (const AppEntry* entry = entryOfWindow(window, entries)) {
      app.name = entry->name;
      app.icon = entry->icon;
    }
    if (app.name.empty()) {
      app.name = !window.wmClass.empty() ? window.wmClass : window.wmInstance;
    }
    groups.push_back(group);
    apps.push_back(std::move(app));
  }
  // Applications without any name cannot be shown; their windows still counted above.
  std::erase_if(apps, [](const RunningApp& app) { return app.name.empty(); });
  return apps;
}
