#pragma once

#include <chrono>
#include <functional>
#include <vector>

#include "landing/Later.h"
#include "landing/watcher/HeldKey.h"
#include "platform/InputMonitor.h"
#include "platform/SyntheticInput.h"

// Turns the desktop's input events into the few outcomes of hold-to-talk: the key held alone
// long enough (asked of onHeld), then its release (onUp), Escape (onCancel) or any other input
// (onStray) during the hold; Escape outside a hold (onEscape). A hold counts only when the key
// went down with no other modifier and stayed down alone, with no other key, modifier or click,
// for the delay. Keys the bridge posts itself are announced with expectOwn() and ignored.
//
// Threads: the command's main loop only, which also runs its delayed check; no mutex.
class HoldWatcher {
 public:
  enum class Phase { Idle, Waiting, Holding, Spent };

  struct Callbacks {
    std::function<bool()> onHeld;      // true accepts the hold, false refuses it
    std::function<void()> onUp;
    std::function<void()> onCancel;
    std::function<void()> onStray;     // may be empty: onCancel stands in
    std::function<void()> onEscape;    // may be empty
  };

  HoldWatcher(HeldKey key, std::chrono::duration<double> delay,
              std::chrono::duration<double> ownKeysWait, Later& later, Callbacks callbacks);
  ~HoldWatcher();
  HoldWatcher(const HoldWatcher&) = delete;
  HoldWatcher& operator=(const HoldWatcher&) = delete;

  // One event of the global input monitor.
  void see(const InputEvent& event);
  // The bridge is about to post these keys: their events change nothing. Expected events that
  // have not come within the wait are forgotten.
  void expectOwn(const std::vector<KeyStep>& steps);

  // The state machine's steps.
  void keyChanged(unsigned modifiers);
  void escapePressed();
  void interrupted();

  Phase phase() const { return phase_; }

 private:
  void startWaiting();
  void stopWaiting();
  bool isOwn(const InputEvent& event);

  const HeldKey key_;
  const std::chrono::duration<double> delay_;
  const std::chrono::duration<double> ownKeysWait_;
  Later& later_;
  const Callbacks callbacks_;
  Phase phase_ = Phase::Idle;
  Later::Cancel waiting_;
  std::vector<KeyStep> own_;
  unsigned ownBatch_ = 0;
  Later::Cancel forgetOwn_;
};
