#include "platform/linux/canberra/SoundThemeSounds.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::filesystem::path> dataFolders() {
  std::vector<std::filesystem::path> folders;
  if (const char* home = std::getenv("XDG_DATA_HOME"); home && home[0] == '/') {
    folders.emplace_back(home);
  } else if (const char* user = std::getenv("HOME"); user && *user) {
    folders.emplace_back(std::filesystem::path(user) / ".local/share");
  }
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
  std::stringstream parts(list);
  for (std::string part; std::getline(parts, part, ':');) {
    if (!part.empty() && part[0] == '/') folders.emplace_back(part);
  }
  return folders;
}

}  // namespace

std::optional<std::filesystem::path> SoundThemeSounds::find(const std::string& name) {
  if (name.empty()) return std::nullopt;
  for (const auto& folder : dataFolders()) {
    for (const char* extension : {".oga", ".ogg", ".wav"}) {
      auto file = folder / "sounds/freedesktop/stereo" / (name + extension);
      std::error_code error;
      if (std::filesystem::is_regular_file(file, error)) return file;
    }
  }
  return std::nullopt;
}

bool SoundThemeSounds::exists(const std::string& name) { return find(name).has_value(); }
