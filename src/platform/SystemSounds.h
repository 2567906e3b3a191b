#pragma once

#include <chrono>
#include <stdexcept>
#include <string>

// A sound that could not be played, with the sound system's reason.
class SoundFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The named sounds of the desktop's sound theme. Exists so tests can replace it.
class SystemSounds {
 public:
  virtual ~SystemSounds() = default;

  // True when the theme has a sound file of exactly this name.
  virtual bool exists(const std::string& name) = 0;
  // Plays the sound and returns once it has finished, or after longest (the sound is then
  // stopped). Throws SoundFailure when it cannot be played.
  virtual void play(const std::string& name, std::chrono::milliseconds longest) = 0;
};
