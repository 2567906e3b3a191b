#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// The one ending of a listen mode's process: the first end() writes its last line and ends the
// process, later ones do nothing. A watchdog, armed when an ending begins, runs on a thread of its
// own, so nothing stuck on a loop or in a service can keep the process alive past its limit.
//
// Threads: any. mutex_ guards done_; nothing runs under it.
class ListenEnding : public std::enable_shared_from_this<ListenEnding> {
 public:
  // Ends the process with a status; a test records it instead.
  using End = std::function<void(int status)>;

  static std::shared_ptr<ListenEnding> make(End end);

  // Runs last (the last line, if any) and ends the process with the status, unless an ending has
  // already run. Returns whether this one ran.
  bool end(int status, const std::function<void()>& last = {});
  // After limit, runs overdue on the watchdog's thread, unless an ending has run by then.
  void watch(std::chrono::duration<double> limit, std::function<void()> overdue);

 private:
  explicit ListenEnding(End end) : end_(std::move(end)) {}

  const End end_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool done_ = false;
};
