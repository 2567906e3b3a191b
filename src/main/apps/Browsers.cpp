#include "main/apps/Browsers.h"

#include <algorithm>
#include <set>

namespace {

std::string nameOf(const std::string& path) {
  auto slash = path.rfind('/');
  return withoutDesktopSuffix(slash == std::string::npos ? path : path.substr(slash + 1));
}

bool inside(const std::string& path, const std::vector<std::string>& folders) {
  return std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
    return !folder.empty() && path.starts_with(folder);
  });
}

}  // namespace

std::vector<Browser> acceptedBrowsers(const std::vector<AppEntry>& handlers,
                                      const std::vector<std::string>& folders) {
  std::vector<Browser> browsers;
  std::set<std::string> seen;
  for (const auto& entry : handlers) {
    if (entry.hidden || !inside(entry.path, folders)) continue;
    const std::string& identity = entry.id.empty() ? entry.path : entry.id;
    if (!seen.insert(identity).second) continue;
    browsers.push_back(Browser{nameOf(entry.path), entry.path, entry.icon});
  }
  return browsers;
}
