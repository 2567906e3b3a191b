#pragma once

#include "platform/BackupExclusion.h"

// The freedesktop extended attribute "user.xdg.robots.backup" = "false", which backup tools of
// the desktop honour.
class XattrBackupExclusion : public BackupExclusion {
 public:
  std::optional<std::string> exclude(const std::string& path) override;
  bool isExcluded(const std::string& path) override;
};
