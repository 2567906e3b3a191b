#pragma once

#include <string>
#include <vector>

#include "platform/AppCatalog.h"

// One browser as browsers lists it.
struct Browser {
  std::string name;  // the entry's file name without ".desktop"
  std::string path;  // the entry file
  IconRef icon;
};

// The content type whose handlers are the web browsers.
inline constexpr std::string_view WEB_LINK_TYPE = "x-scheme-handler/https";

// The handlers whose entry file lies in one of the folders (each ending in "/") and is meant to
// be shown, each application once (the first one listed wins), in the handlers' order.
std::vector<Browser> acceptedBrowsers(const std::vector<AppEntry>& handlers,
                                      const std::vector<std::string>& folders);
