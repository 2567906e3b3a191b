#pragma once

#include <exception>
#include <future>
#include <mutex>

// The one outcome of a race: the first settle() gives the waiting caller a value or an error,
// later ones are dropped.
//
// Threads: settle() from any thread; mutex_ guards settled_ and the promise.
template <class T>
class FirstOutcome {
 public:
  std::future<T> outcome() { return promise_.get_future(); }

  // Answers whether this settle was the first.
  bool settle(T value) {
    std::lock_guard guard(mutex_);
    if (settled_) return false;
    settled_ = true;
    promise_.set_value(std::move(value));
    return true;
  }
  bool fail(std::exception_ptr error) {
    std::lock_guard guard(mutex_);
    if (settled_) return false;
    settled_ = true;
    promise_.set_exception(std::move(error));
    return true;
  }

 private:
  std::mutex mutex_;
  bool settled_ = false;
  std::promise<T> promise_;
};
