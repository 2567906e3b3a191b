#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// The ending functions handed to sessions under test. Records each ending's status, and tells
// when every copy of every function made is gone: a session holds its own copy to its last, and
// its jobs and timers may hold it a moment after the ending, so only then may the fakes and line
// writers it uses go.
//
// Threads: any; mutex_ guards the statuses and the counts.
class SessionEndings {
 public:
  ~SessionEndings() { settle(); }

  std::function<void(int)> make() {
    std::shared_ptr<void> token(nullptr, [this](void*) {
      std::lock_guard guard(mutex_);
      ++released_;
      changed_.notify_all();
    });
    {
      std::lock_guard guard(mutex_);
      ++made_;
    }
    return [this, token](int status) {
      std::lock_guard guard(mutex_);
      statuses_.push_back(status);
      changed_.notify_all();
    };
  }

  // The first ending's status, or -1 when none came in time.
  int first(std::chrono::milliseconds limit) {
    std::unique_lock guard(mutex_);
    changed_.wait_for(guard, limit, [this] { return !statuses_.empty(); });
    return statuses_.empty() ? -1 : statuses_.front();
  }
  std::size_t count() {
    std::lock_guard guard(mutex_);
    return statuses_.size();
  }
  void clear() {
    std::lock_guard guard(mutex_);
    statuses_.clear();
  }

  // Waits, for up to 3 s, until every function made is gone.
  void settle() {
    std::unique_lock guard(mutex_);
    changed_.wait_for(guard, std::chrono::seconds(3), [this] { return released_ == made_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> statuses_;
  int made_ = 0;
  int released_ = 0;
};
