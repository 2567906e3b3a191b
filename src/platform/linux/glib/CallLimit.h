#pragma once

#include <gio/gio.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

#include "platform/linux/gio/GioHandles.h"

// Bounds one blocking GLib call: its cancellable is cancelled once the limit has passed.
// Threads: built and destroyed on the caller's thread; its own timer thread only cancels.
// The mutex guards fired_.
class CallLimit {
 public:
  explicit CallLimit(std::chrono::milliseconds limit);
  ~CallLimit();
  CallLimit(const CallLimit&) = delete;
  CallLimit& operator=(const CallLimit&) = delete;

  GCancellable* cancellable() const { return cancellable_.get(); }
  // True when the limit passed before the call ended.
  bool fired();

 private:
  GObjectPtr<GCancellable> cancellable_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  bool fired_ = false;
  std::jthread timer_;
};
