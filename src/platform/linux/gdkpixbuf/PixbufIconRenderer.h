#pragma once

#include <memory>

#include "platform/IconRenderer.h"

class IconTheme;

// Icons drawn with gdk-pixbuf (SVG through the librsvg loader) after an icon theme lookup.
// Threads: the command's thread only. The theme is read on first use.
class PixbufIconRenderer final : public IconRenderer {
 public:
  PixbufIconRenderer();
  ~PixbufIconRenderer() override;
  std::string png(const IconRef& icon, int size) override;
  std::string png(const PixelIcon& icon, int size) override;

 private:
  std::unique_ptr<IconTheme> theme_;
};
