#pragma once

#include <string>

// The named sounds of the desktop's sound theme. Exists so tests can replace it.
class SystemSounds {
 public:
  virtual ~SystemSounds() = default;

  // True when the theme has a sound file of exactly this name.
  virtual bool exists(const std::string& name) = 0;
};
