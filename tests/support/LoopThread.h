#pragma once

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <thread>

#include "base/OnLoop.h"

// A session's loop for a test: an io_context run on a thread of its own until the test ends.
// run() does the work on the loop and waits for it, as the session's own callers post.
class LoopThread {
 public:
  LoopThread() : thread_([this] { loop_.run(); }) {}
  ~LoopThread() { stop(); }

  asio::io_context& loop() { return loop_; }
  template <class Work>
  auto run(Work&& work) {
    return onLoop(loop_, std::forward<Work>(work));
  }
  // Ends the loop once what was posted has run.
  void stop() {
    keep_.reset();
    if (thread_.joinable()) thread_.join();
  }

 private:
  asio::io_context loop_;
  asio::executor_work_guard<asio::io_context::executor_type> keep_ = asio::make_work_guard(loop_);
  std::thread thread_;
};
