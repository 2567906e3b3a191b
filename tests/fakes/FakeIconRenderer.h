#pragma once

#include <string>

#include "platform/IconRenderer.h"

// "Draws" an icon as the text "png:<file or first name>"; icons named "missing" cannot be drawn.
class FakeIconRenderer final : public IconRenderer {
 public:
  std::string png(const IconRef& icon, int size) override {
    std::string what = !icon.file.empty() ? icon.file : icon.names.empty() ? "" : icon.names.front();
    if (what.empty() || what == "missing" || size != 64) return "";
    return "png:" + what;
  }
};
