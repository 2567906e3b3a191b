#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Finds icon files by name the way the freedesktop icon theme rules do: the user's theme, the
// themes it inherits, then "hicolor", then the unthemed folders.
// Threads: the command's thread only.
class IconTheme {
 public:
  // Reads the theme name and folders from the user's XDG folders (XdgFolders).
  IconTheme();

  // The best file for the first of the names that any theme has, at the wanted pixel size.
  std::optional<std::filesystem::path> find(const std::vector<std::string>& names, int size);

 private:
  struct Folder {
    std::string path;  // relative to the theme folder
    int size = 0;
    int minSize = 0;
    int maxSize = 0;
    int threshold = 2;
    enum class Kind { FIXED, SCALABLE, THRESHOLD } kind = Kind::THRESHOLD;
    int distance(int wanted) const;
  };
  struct Theme {
    std::string name;
    std::vector<Folder> folders;
  };

  std::optional<Theme> load(const std::string& name, std::vector<std::string>& inherits) const;
  std::optional<std::filesystem::path> inTheme(const Theme& theme, const std::string& name,
                                               int size);
  std::optional<std::filesystem::path> unthemed(const std::string& name);
  // The icon file of that name in the folder, looked up in the folder's listing (read once).
  std::optional<std::filesystem::path> fileIn(const std::filesystem::path& folder,
                                              const std::string& name);

  // Where themes and unthemed icons lie, in the order they are looked in.
  std::vector<std::filesystem::path> iconFolders_;
  std::unordered_map<std::string, std::unordered_set<std::string>> listings_;
  // The chosen theme, the themes it inherits, then hicolor.
  std::vector<Theme> themes_;
};
