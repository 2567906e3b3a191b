#pragma once

#include <chrono>
#include <optional>
#include <string>

// Media players on the desktop bus, each addressed by its bus name. Exists so tests can replace
// it. Every call is bounded by the time-out it is given and never starts a player.
class MediaPlayers {
 public:
  using Millis = std::chrono::milliseconds;

  virtual ~MediaPlayers() = default;

  // True when a player owns the name.
  virtual bool running(const std::string& busName, Millis timeout) = 0;
  // The player's playback status ("Playing", "Paused", "Stopped"); nothing when it does not
  // answer.
  virtual std::optional<std::string> playbackStatus(const std::string& busName, Millis timeout) = 0;
  // Asks the player to pause / play; true when it took the call.
  virtual bool pause(const std::string& busName, Millis timeout) = 0;
  virtual bool play(const std::string& busName, Millis timeout) = 0;
};
