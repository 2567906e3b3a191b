#pragma once

#include "platform/AppCatalog.h"

// Installed applications from their desktop entries and the desktop's MIME associations,
// through GIO. Threads: the command's thread only.
class GioAppCatalog final : public AppCatalog {
 public:
  std::vector<AppEntry> entries() override;
  std::vector<AppEntry> handlersOf(const std::string& contentType) override;
  std::optional<AppEntry> defaultFor(const std::string& contentType) override;
  std::optional<AppEntry> openerOf(const std::string& url) override;
  LaunchResult launch(const std::string& entryPath, const std::vector<std::string>& args,
                      std::chrono::milliseconds watch) override;
};
