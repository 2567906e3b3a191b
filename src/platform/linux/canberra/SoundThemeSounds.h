#pragma once

#include <filesystem>
#include <optional>

#include "platform/SystemSounds.h"

// The freedesktop sound theme's named sounds, looked up in the XDG data folders and played
// through libcanberra on the sound server. Called on the main thread only.
class SoundThemeSounds final : public SystemSounds {
 public:
  bool exists(const std::string& name) override;
  void play(const std::string& name, std::chrono::milliseconds longest) override;

  // The theme file of the sound, if any.
  static std::optional<std::filesystem::path> find(const std::string& name);
};
