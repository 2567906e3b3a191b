#include "platform/linux/xattr/XattrBackupExclusion.h"

#include <sys/xattr.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

constexpr const char* ATTRIBUTE = "user.xdg.robots.backup";
constexpr std::string_view EXCLUDED = "false";

}  // namespace

std::optional<std::string> XattrBackupExclusion::exclude(const std::string& path) {
  if (::setxattr(path.c_str(), ATTRIBUTE, EXCLUDED.data(), EXCLUDED.size(), 0) == 0)
    return std::nullopt;
  return std::strerror(errno);
}

bool XattrBackupExclusion::isExcluded(const std::string& path) {
  char value[16];
  ssize_t size = ::getxattr(path.c_str(), ATTRIBUTE, value, sizeof value);
  return size == static_cast<ssize_t>(EXCLUDED.size()) &&
         std::string_view(value, static_cast<std::size_t>(size)) == EXCLUDED;
}
