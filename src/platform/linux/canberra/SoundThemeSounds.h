#pragma once

#include <filesystem>
#include <optional>

#include "platform/SystemSounds.h"

// The freedesktop sound theme's named sounds, looked up in the XDG data folders.
class SoundThemeSounds final : public SystemSounds {
 public:
  bool exists(const std::string& name) override;

  // The theme file of the sound, if any.
  static std::optional<std::filesystem::path> find(const std::string& name);
};
