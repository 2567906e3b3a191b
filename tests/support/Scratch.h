#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

// A throw-away folder with HOME and XDG folders of its own, removed when the test ends, so
// nothing touches a real user's data and tests do not see each other's files.
class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path home() const { return root_ / "home"; }
  std::filesystem::path dataHome() const { return root_ / "home/.local/share"; }
  std::filesystem::path configHome() const { return root_ / "home/.config"; }

  // HOME, XDG_DATA_HOME and XDG_CONFIG_HOME pointing into the scratch folder, for RunOptions.
  std::map<std::string, std::optional<std::string>> env() const;

 private:
  std::filesystem::path root_;
};
