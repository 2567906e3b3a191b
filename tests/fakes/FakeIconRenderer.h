#pragma once

#include <string>

#include "platform/IconRenderer.h"

// "Draws" a named icon as the text "png:<file or first name>"; an icon named "missing" cannot
// be drawn.
class FakeIconRenderer final : public IconRenderer {
 public:
  std::string png(const IconRef& icon, int size) override {
    std::string what = icon.file;
    if (what.empty() && !icon.names.empty()) what = icon.names.front();
    if (what.empty() || what == "missing" || size != 64) return "";
    return "png:" + what;
  }
  // Pixels "draw" as "pixels:<width>x<height>".
  std::string png(const PixelIcon& icon, int size) override {
    if (icon.empty() || size != 64) return "";
    return "pixels:" + std::to_string(icon.width) + "x" + std::to_string(icon.height);
  }
};
