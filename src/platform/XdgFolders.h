#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The user's folders by the XDG base-directory rules: the home folder, the data and config
// homes, and the shared data folders. Read once, when built. A value that is not an absolute
// path is invalid and ignored, as those rules ask; the defaults are ~/.local/share, ~/.config
// and /usr/local/share:/usr/share.
// Threads: any; nothing changes after it is built.
class XdgFolders {
 public:
  // One environment variable's value; nothing when it is not set.
  using Variables = std::function<std::optional<std::string>(const std::string& name)>;

  // The process environment; without a usable HOME, the password database's entry, else "/".
  XdgFolders();
  // The given variables; without a usable HOME, `fallbackHome`.
  XdgFolders(const Variables& variables, std::filesystem::path fallbackHome);

  // Copies, so that `for (auto& folder : XdgFolders().dataDirs())` is safe.
  std::filesystem::path home() const { return home_; }
  std::filesystem::path dataHome() const { return dataHome_; }
  std::filesystem::path configHome() const { return configHome_; }
  // The shared data folders, most important first.
  std::vector<std::filesystem::path> dataDirs() const { return dataDirs_; }

  // Where data files are looked up, in order: the data home, then the shared data folders.
  std::vector<std::filesystem::path> dataFolders() const;

  // The program's own data folder, <data home>/com.quorvel.vesk. Not created here.
  std::filesystem::path appFolder() const;

 private:
  std::filesystem::path home_;
  std::filesystem::path dataHome_;
  std::filesystem::path configHome_;
  std::vector<std::filesystem::path> dataDirs_;
};
