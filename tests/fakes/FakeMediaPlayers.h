#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/MediaPlayers.h"

// Players by bus name; records every call as "<Method> <busName>" and the time-outs asked for.
class FakeMediaPlayers final : public MediaPlayers {
 public:
  struct Player {
    std::string status = "Playing";
    bool answers = true;  // false: every call to the player fails, as on a time-out
  };
  std::map<std::string, Player> players;
  std::vector<std::string> calls;
  std::vector<Millis> timeouts;

  bool running(const std::string& busName, Millis timeout) override {
    timeouts.push_back(timeout);
    return players.count(busName) > 0;
  }
  std::optional<std::string> playbackStatus(const std::string& busName, Millis timeout) override {
    timeouts.push_back(timeout);
    calls.push_back("PlaybackStatus " + busName);
    auto player = players.find(busName);
    if (player == players.end() || !player->second.answers) return std::nullopt;
    return player->second.status;
  }
  bool pause(const std::string& busName, Millis timeout) override {
    return command("Pause", busName, timeout, "Paused");
  }
  bool play(const std::string& busName, Millis timeout) override {
    return command("Play", busName, timeout, "Playing");
  }

 private:
  bool command(const std::string& method, const std::string& busName, Millis timeout,
               const char* after) {
    timeouts.push_back(timeout);
    calls.push_back(method + " " + busName);
    auto player = players.find(busName);
    if (player == players.end() || !player->second.answers) return false;
    player->second.status = after;
    return true;
  }
};
