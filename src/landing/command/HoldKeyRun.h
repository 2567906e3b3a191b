#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "landing/Later.h"
#include "landing/lander/Lander.h"
#include "landing/watcher/HeldKey.h"
#include "landing/watcher/HoldWatcher.h"
#include "platform/FocusReader.h"
#include "platform/InputMonitor.h"

class LineWriter;
class RunLog;
struct Platform;
struct Timings;

// One run of `listen hold-key`: the hold watcher (none for "none", where only Escape is
// reported), the lander and their wiring to event lines, the landing log, the trust watch and
// the requests of standard input.
//
// Threads: the command's main loop only (input events, requests and trust answers are handed
// to it); no mutex.
class HoldKeyRun {
 public:
  struct Services {
    Platform& platform;
    LineWriter& lines;
    RunLog& log;
    Later& later;
    const Timings& timings;
    std::function<bool()> trusted;  // the accessibility trust now
    std::function<void()> finished;  // every landing is done after leave()
    // Whether the bridge may type for the user now, which is what pasting needs; unset: the
    // trust. It differs where the hold key is watched apart from typing (keyboard devices).
    std::function<bool()> mayType = nullptr;
  };

  HoldKeyRun(Services services, std::optional<HeldKey> key);

  void see(const InputEvent& event);
  // One line of standard input other than "stop".
  void request(const std::string& line);
  // The trust as the poll saw it: a loss is reported once.
  void accessSeen(bool trusted);
  // Input has ended: finish after the queued landings.
  void leave();

 private:
  bool onHeld();
  bool mayPasteNow(std::optional<long> into);
  bool postPaste();
  void landed(std::string_view how);

  Services services_;
  std::unique_ptr<HoldWatcher> watcher_;
  Lander lander_;
  bool accessOn_;
  Focus pasteFocus_;  // the focus the latest paste decision saw
};
