#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/AppCatalog.h"

// Applications and associations as the test arranges them; launches are recorded.
class FakeAppCatalog final : public AppCatalog {
 public:
  struct Launch {
    std::string entryPath;
    std::vector<std::string> args;
  };
  std::vector<AppEntry> installed;
  std::map<std::string, std::vector<AppEntry>> handlers;  // by content type
  std::map<std::string, AppEntry> defaults;               // by content type
  std::map<std::string, AppEntry> openers;                // by URL
  LaunchResult launchResult{true, "", std::nullopt};
  std::vector<Launch> launches;

  std::vector<AppEntry> entries() override { return installed; }
  std::vector<AppEntry> handlersOf(const std::string& contentType) override {
    return handlers[contentType];
  }
  std::optional<AppEntry> defaultFor(const std::string& contentType) override {
    auto found = defaults.find(contentType);
    if (found == defaults.end()) return std::nullopt;
    return found->second;
  }
  std::optional<AppEntry> openerOf(const std::string& url) override {
    auto found = openers.find(url);
    if (found == openers.end()) return std::nullopt;
    return found->second;
  }
  LaunchResult launch(const std::string& entryPath, const std::vector<std::string>& args,
                      std::chrono::milliseconds) override {
    launches.push_back({entryPath, args});
    return launchResult;
  }
};
