#include "platform/XdgFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace fs = std::filesystem;

namespace {

bool absolute(const std::string& text) { return !text.empty() && text[0] == '/'; }

// The variable's value when it is an absolute path.
std::optional<fs::path> absoluteValue(const XdgFolders::Variables& variables, const char* name) {
  auto value = variables(name);
  if (!value || !absolute(*value)) return std::nullopt;
  return fs::path(*value);
}

fs::path passwordHome() {
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir && *entry->pw_dir) {
    return entry->pw_dir;
  }
  return "/";
}

}  // namespace

XdgFolders::XdgFolders()
    : XdgFolders(
          [](const std::string& name) -> std::optional<std::string> {
            const char* value = std::getenv(name.c_str());
            if (value == nullptr) return std::nullopt;
            return value;
          },
          passwordHome()) {}

XdgFolders::XdgFolders(const Variables& variables, fs::path fallbackHome) {
  home_ = absoluteValue(variables, "HOME").value_or(std::move(fallbackHome));
  dataHome_ = absoluteValue(variables, "XDG_DATA_HOME").value_or(home_ / ".local/share");
  configHome_ = absoluteValue(variables, "XDG_CONFIG_HOME").value_or(home_ / ".config");

  // An unset or empty list means the default; relative entries in a list are skipped.
  std::string list = variables("XDG_DATA_DIRS").value_or("");
  if (list.empty()) list = "/usr/local/share:/usr/share";
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = std::min(list.find(':', start), list.size());
    std::string entry = list.substr(start, end - start);
    if (absolute(entry)) dataDirs_.emplace_back(entry);
    start = end + 1;
  }
}

std::vector<fs::path> XdgFolders::dataFolders() const {
  std::vector<fs::path> folders{dataHome_};
  folders.insert(folders.end(), dataDirs_.begin(), dataDirs_.end());
  return folders;
}

fs::path XdgFolders::appFolder() const { return dataHome_ / "com.quorvel.vesk"; }
