#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An icon as an application names it: a file of its own, or theme icon names tried in order.
struct IconRef {
  std::string file;
  std::vector<std::string> names;
};

// An icon given as pixels: rows of non-premultiplied 0xAARRGGBB values.
struct PixelIcon {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> argb;
  bool empty() const { return width <= 0 || height <= 0; }
};

// Draws application icons. Exists so tests can replace it.
class IconRenderer {
 public:
  virtual ~IconRenderer() = default;

  // The PNG bytes of the icon drawn into a size × size RGBA square (scaled to fit, aspect kept,
  // centred on transparency); "" when the icon cannot be found or drawn.
  virtual std::string png(const IconRef& icon, int size) = 0;
  // The same for an icon given as pixels.
  virtual std::string png(const PixelIcon& icon, int size) = 0;
};
