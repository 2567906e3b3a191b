#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "landing/Later.h"
#include "platform/Clipboard.h"

// Lands dictated text, one landing at a time, in arrival order: pastes it into the application
// it is meant for through the clipboard and the paste keystroke, then puts the user's clipboard
// back after `backAfter` unless something else changed it meanwhile ("pasted"); or leaves the
// text on the clipboard when pasting is not safe or the keystroke could not be sent ("copied"); or touches nothing when the
// clipboard must not be read or cannot be put back ("kept"). After leave(), calls finished once
// nothing is waiting or in flight.
//
// Threads: the command's main loop only, which also runs the delayed restore; no mutex.
class Lander {
 public:
  struct Services {
    Clipboard& board;
    Later& later;
    std::chrono::duration<double> backAfter;
    std::function<bool(std::optional<long> app)> mayPaste;
    std::function<bool()> post;  // the paste keystroke; false when it could not be sent
    std::function<bool()> mayRead;
    std::function<void(std::string_view how)> landed;
    std::function<void()> finished;
  };

  explicit Lander(Services services);
  ~Lander();
  Lander(const Lander&) = delete;
  Lander& operator=(const Lander&) = delete;

  void land(std::string words, std::optional<long> app);
  void leave();

 private:
  struct Landing {
    std::string words;
    std::optional<long> app;
  };

  void next();
  void paste(const std::string& words, std::vector<ClipboardFlavor> saved);

  Services services_;
  std::deque<Landing> waiting_;
  bool pasting_ = false;
  bool leaving_ = false;
  Later::Cancel restoring_;
};
