#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/IconRenderer.h"

// One installed application, described by its desktop entry.
struct AppEntry {
  std::string id;          // the entry's desktop id, such as "org.gnome.Geary.desktop"
  std::string path;        // the entry file
  std::string name;        // its (localized) Name
  std::string wmClass;     // its StartupWMClass, or ""
  std::string executable;  // the program its Exec line starts, as written there
  IconRef icon;
  bool hidden = false;     // NoDisplay: an entry not meant to be shown to the user
};

// A desktop id or entry file name without its ".desktop": "org.gnome.Geary.desktop" gives
// "org.gnome.Geary".
inline std::string withoutDesktopSuffix(std::string name) {
  constexpr std::string_view SUFFIX = ".desktop";
  if (name.size() > SUFFIX.size() && name.ends_with(SUFFIX)) {
    name.resize(name.size() - SUFFIX.size());
  }
  return name;
}

// How a launch went: not started (with the reason), or started and then either still running
// when the watch ended or exited with a status.
struct LaunchResult {
  bool started = false;
  std::string error;
  std::optional<int> exitStatus;
};

// The desktop's installed applications and which of them open what. Exists so tests can
// replace it.
class AppCatalog {
 public:
  virtual ~AppCatalog() = default;

  // Every application entry the desktop knows, in no particular order.
  virtual std::vector<AppEntry> entries() = 0;
  // The applications registered for a content type (such as "x-scheme-handler/https"), in the
  // desktop's order of preference.
  virtual std::vector<AppEntry> handlersOf(const std::string& contentType) = 0;
  // The default application of a content type.
  virtual std::optional<AppEntry> defaultFor(const std::string& contentType) = 0;
  // The default application of a URL: by its scheme, or for a file by the file's type.
  virtual std::optional<AppEntry> openerOf(const std::string& url) = 0;
  // Starts the application of the entry file with these arguments in place of its file or URL
  // field codes, without a shell, detached from our standard streams; then watches it for up
  // to `watch` to catch an early failure.
  virtual LaunchResult launch(const std::string& entryPath, const std::vector<std::string>& args,
                              std::chrono::milliseconds watch) = 0;
};
