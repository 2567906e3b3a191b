#include "platform/linux/gdkpixbuf/IconTheme.h"

#include <glib.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <sstream>

#include "platform/XdgFolders.h"

namespace fs = std::filesystem;

namespace {

struct KeyFileFree {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFilePtr = std::unique_ptr<GKeyFile, KeyFileFree>;
struct TextFree {
  void operator()(gchar* text) const { g_free(text); }
};
using TextPtr = std::unique_ptr<gchar, TextFree>;

constexpr const char* EXTENSIONS[] = {".png", ".svg", ".xpm"};
constexpr const char* DEFAULT_THEME = "Adwaita";
constexpr const char* FALLBACK_THEME = "hicolor";

std::vector<std::string> splitList(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, separator);) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

KeyFilePtr loadKeyFile(const fs::path& path) {
  KeyFilePtr file(g_key_file_new());
  if (!g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_NONE, nullptr)) return {};
  return file;
}

std::string keyText(GKeyFile* file, const char* group, const char* key) {
  TextPtr value(g_key_file_get_string(file, group, key, nullptr));
  return value ? value.get() : "";
}

int keyNumber(GKeyFile* file, const char* group, const char* key, int fallback) {
  GError* error = nullptr;
  int value = g_key_file_get_integer(file, group, key, &error);
  if (error != nullptr) {
    g_error_free(error);
    return fallback;
  }
  return value;
}

// The icon theme the user chose for GTK applications, else the desktop's default.
std::string chosenTheme(const XdgFolders& xdg) {
  for (const char* version : {"gtk-4.0", "gtk-3.0"}) {
    if (auto file = loadKeyFile(xdg.configHome() / version / "settings.ini")) {
      std::string name = keyText(file.get(), "Settings", "gtk-icon-theme-name");
      if (!name.empty()) return name;
    }
  }
  return DEFAULT_THEME;
}

}  // namespace

int IconTheme::Folder::distance(int wanted) const {
  switch (kind) {
    case Kind::FIXED:
      return std::abs(size - wanted);
    case Kind::SCALABLE:
      if (wanted < minSize) return minSize - wanted;
      if (wanted > maxSize) return wanted - maxSize;
      return 0;
    case Kind::THRESHOLD:
      if (wanted < size - threshold) return size - threshold - wanted;
      if (wanted > size + threshold) return wanted - size - threshold;
      return 0;
  }
  return std::numeric_limits<int>::max();
}

IconTheme::IconTheme() {
  const XdgFolders xdg;
  iconFolders_.push_back(xdg.home() / ".icons");
  for (const auto& folder : xdg.dataFolders()) iconFolders_.push_back(folder / "icons");
  iconFolders_.emplace_back("/usr/share/pixmaps");

  // The chosen theme and everything it inherits, depth first, each once; hicolor last.
  std::vector<std::string> pending{chosenTheme(xdg)};
  std::vector<std::string> seen;
  while (!pending.empty()) {
    std::string name = pending.front();
    pending.erase(pending.begin());
    if (name == FALLBACK_THEME || std::find(seen.begin(), seen.end(), name) != seen.end()) {
      continue;
    }
    seen.push_back(name);
    std::vector<std::string> inherits;
    if (auto theme = load(name, inherits)) themes_.push_back(std::move(*theme));
    pending.insert(pending.begin(), inherits.begin(), inherits.end());
  }
  std::vector<std::string> ignored;
  if (auto theme = load(FALLBACK_THEME, ignored)) themes_.push_back(std::move(*theme));
}

std::optional<IconTheme::Theme> IconTheme::load(const std::string& name,
                                                std::vector<std::string>& inherits) const {
  for (const auto& iconFolder : iconFolders_) {
    auto file = loadKeyFile(iconFolder / name / "index.theme");
    if (!file) continue;
    Theme theme{name, {}};
    inherits = splitList(keyText(file.get(), "Icon Theme", "Inherits"), ',');
    for (const auto& path : splitList(keyText(file.get(), "Icon Theme", "Directories"), ',')) {
      const char* group = path.c_str();
      if (keyNumber(file.get(), group, "Scale", 1) != 1) continue;
      Folder folder;
      folder.path = path;
      folder.size = keyNumber(file.get(), group, "Size", 0);
      folder.minSize = keyNumber(file.get(), group, "MinSize", folder.size);
      folder.maxSize = keyNumber(file.get(), group, "MaxSize", folder.size);
      folder.threshold = keyNumber(file.get(), group, "Threshold", 2);
      std::string kind = keyText(file.get(), group, "Type");
      if (kind == "Fixed") folder.kind = Folder::Kind::FIXED;
      if (kind == "Scalable") folder.kind = Folder::Kind::SCALABLE;
      theme.folders.push_back(std::move(folder));
    }
    return theme;
  }
  return std::nullopt;
}

std::optional<fs::path> IconTheme::fileIn(const fs::path& folder, const std::string& name) {
  auto [listing, fresh] = listings_.try_emplace(folder.string());
  if (fresh) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      listing->second.insert(it->path().filename().string());
    }
  }
  for (const char* extension : EXTENSIONS) {
    std::string file = name + extension;
    if (listing->second.count(file) > 0) return folder / file;
  }
  return std::nullopt;
}

std::optional<fs::path> IconTheme::inTheme(const Theme& theme, const std::string& name,
                                           int size) {
  std::optional<fs::path> closest;
  int closestDistance = std::numeric_limits<int>::max();
  for (const auto& folder : theme.folders) {
    int distance = folder.distance(size);
    if (distance >= closestDistance) continue;
    for (const auto& iconFolder : iconFolders_) {
      if (auto file = fileIn(iconFolder / theme.name / folder.path, name)) {
        if (distance == 0) return file;
        closest = file;
        closestDistance = distance;
        break;
      }
    }
  }
  return closest;
}

std::optional<fs::path> IconTheme::unthemed(const std::string& name) {
  for (const auto& iconFolder : iconFolders_) {
    if (auto file = fileIn(iconFolder, name)) return file;
  }
  return std::nullopt;
}

std::optional<fs::path> IconTheme::find(const std::vector<std::string>& wanted, int size) {
  // A name is one file name in a folder, never a path.
  std::vector<std::string> names;
  for (const auto& name : wanted) {
    if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != "..") {
      names.push_back(name);
    }
  }
  for (const auto& theme : themes_) {
    for (const auto& name : names) {
      if (auto file = inTheme(theme, name, size)) return file;
    }
  }
  for (const auto& name : names) {
    if (auto file = unthemed(name)) return file;
  }
  return std::nullopt;
}
