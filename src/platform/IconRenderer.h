#pragma once

#include <string>
#include <vector>

// An icon as an application names it: a file of its own, or theme icon names tried in order.
struct IconRef {
  std::string file;
  std::vector<std::string> names;
};

// Draws application icons. Exists so tests can replace it.
class IconRenderer {
 public:
  virtual ~IconRenderer() = default;

  // The PNG bytes of the icon drawn into a size × size RGBA square (scaled to fit, aspect kept,
  // centred on transparency); "" when the icon cannot be found or drawn.
  virtual std::string png(const IconRef& icon, int size) = 0;
};
