#pragma once

#include <gio/gio.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

#include "platform/linux/gio/GioHandles.h"

// Bounds blocking GLib calls: once the limit has passed, the calls under way and any later one
// are cancelled through its cancellable, from a timer thread of its own.
// Threads: built and destroyed on one thread; fired from the timer. The mutex guards fired_.
class CallLimit {
 public:
  explicit CallLimit(std::chrono::milliseconds limit);
  ~CallLimit();
  CallLimit(const CallLimit&) = delete;
  CallLimit& operator=(const CallLimit&) = delete;

  GCancellable* cancellable() const { return cancellable_.get(); }
  // True once fired.
  bool fired();

 private:
  void fire();

  GObjectPtr<GCancellable> cancellable_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  bool fired_ = false;
  std::jthread timer_;
};
