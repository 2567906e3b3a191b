#include "landing/watcher/HoldWatcher.h"

#include <algorithm>

HoldWatcher::HoldWatcher(HeldKey key, std::chrono::duration<double> delay,
                         std::chrono::duration<double> ownKeysWait, Later& later,
                         Callbacks callbacks)
    : key_(key), delay_(delay), ownKeysWait_(ownKeysWait), later_(later),
      callbacks_(std::move(callbacks)) {}

HoldWatcher::~HoldWatcher() {
  stopWaiting();
  if (forgetOwn_) forgetOwn_();
}

void HoldWatcher::see(const InputEvent& event) {
  if (isOwn(event)) return;
  switch (event.type) {
    case InputEvent::Type::KeyDown:
      if (event.key == KeyName::Escape) {
        escapePressed();
      } else {
        interrupted();
      }
      return;
    case InputEvent::Type::FlagsChanged:
      if (key_.owns(event.key)) {
        keyChanged(event.modifiers);
      } else {
        interrupted();
      }
      return;
    case InputEvent::Type::MouseDown:
      interrupted();
      return;
    case InputEvent::Type::KeyUp:
      return;
  }
}

void HoldWatcher::expectOwn(const std::vector<KeyStep>& steps) {
  own_.insert(own_.end(), steps.begin(), steps.end());
  if (forgetOwn_) forgetOwn_();
  const unsigned batch = ++ownBatch_;
  forgetOwn_ = later_.after(ownKeysWait_, [this, batch] {
    if (batch == ownBatch_) own_.clear();
  });
}

bool HoldWatcher::isOwn(const InputEvent& event) {
  if (event.type == InputEvent::Type::MouseDown) return false;
  auto found = std::find(own_.begin(), own_.end(), KeyStep{event.code, event.down});
  if (found == own_.end()) return false;
  own_.erase(found);
  return true;
}

void HoldWatcher::keyChanged(unsigned modifiers) {
  const bool down = key_.isDown(modifiers);
  switch (phase_) {
    case Phase::Idle:
      if (!down) return;
      if (key_.isAlone(modifiers)) {
        startWaiting();
      } else {
        phase_ = Phase::Spent;  // this press can never become a hold
      }
      return;
    case Phase::Waiting:
      if (down) return;
      stopWaiting();  // released too early
      phase_ = Phase::Idle;
      return;
    case Phase::Holding:
      if (down) return;
      phase_ = Phase::Idle;
      callbacks_.onUp();
      return;
    case Phase::Spent:
      if (!down) phase_ = Phase::Idle;
      return;
  }
}

void HoldWatcher::escapePressed() {
  if (phase_ == Phase::Holding) {
    phase_ = Phase::Spent;
    callbacks_.onCancel();
    return;
  }
  interrupted();
  if (callbacks_.onEscape) callbacks_.onEscape();
}

void HoldWatcher::interrupted() {
  switch (phase_) {
    case Phase::Idle:
    case Phase::Spent:
      return;
    case Phase::Waiting:
      stopWaiting();  // the hold never started
      phase_ = Phase::Spent;
      return;
    case Phase::Holding:
      phase_ = Phase::Spent;
      if (callbacks_.onStray) {
        callbacks_.onStray();
      } else {
        callbacks_.onCancel();
      }
      return;
  }
}

void HoldWatcher::startWaiting() {
  phase_ = Phase::Waiting;
  stopWaiting();
  waiting_ = later_.after(delay_, [this] {
    waiting_ = nullptr;
    if (phase_ != Phase::Waiting) return;
    phase_ = callbacks_.onHeld() ? Phase::Holding : Phase::Spent;
  });
}

void HoldWatcher::stopWaiting() {
  if (waiting_) waiting_();
  waiting_ = nullptr;
}
