#include "platform/linux/glib/CallLimit.h"

#include <pthread.h>

CallLimit::CallLimit(std::chrono::milliseconds limit) : cancellable_(g_cancellable_new()) {
  timer_ = std::jthread([this, limit](std::stop_token stop) {
    pthread_setname_np(pthread_self(), "vesk.limit");
    std::unique_lock lock(mutex_);
    if (wake_.wait_for(lock, stop, limit, [] { return false; }) || stop.stop_requested()) return;
    fired_ = true;
    lock.unlock();
    g_cancellable_cancel(cancellable_.get());
  });
}

CallLimit::~CallLimit() {
  timer_.request_stop();
  timer_.join();
}

bool CallLimit::fired() {
  std::lock_guard lock(mutex_);
  return fired_;
}
