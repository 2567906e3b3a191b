#pragma once

#include <gio/gio.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

#include "platform/linux/gio/GioHandles.h"

// Bounds blocking GLib calls: once fired, the calls under way and any later one are cancelled
// through its cancellable. With a limit it fires itself from a timer thread of its own; without,
// its owner fires it, which costs no thread when the owner waits for the calls anyway.
// Threads: built and destroyed on one thread; fired from any. The mutex guards fired_.
class CallLimit {
 public:
  CallLimit();
  explicit CallLimit(std::chrono::milliseconds limit);
  ~CallLimit();
  CallLimit(const CallLimit&) = delete;
  CallLimit& operator=(const CallLimit&) = delete;

  GCancellable* cancellable() const { return cancellable_.get(); }
  void fire();
  // True once fired.
  bool fired();

 private:
  GObjectPtr<GCancellable> cancellable_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  bool fired_ = false;
  std::jthread timer_;
};
