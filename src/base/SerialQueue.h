#pragma once

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <functional>
#include <memory>
#include <future>
#include <string>
#include <thread>
#include <type_traits>

// A named serial queue: work posted to it runs one item at a time, in order, on a thread of
// its own (named after the queue, at most 15 characters).
// post() and sync() may be called from any thread; sync() from the queue's own thread runs
// the work at once instead of waiting for itself.
class SerialQueue {
 public:
  // A suspended queue holds what is posted to it until resume() gives it its thread.
  enum class Start { Running, Suspended };

  explicit SerialQueue(const std::string& threadName, Start start = Start::Running);
  ~SerialQueue();
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  void post(std::function<void()> work);

  // Starts a suspended queue; does nothing to one that runs. Call from one thread only.
  void resume();
  bool running() const { return thread_.joinable(); }

  // Runs the work on the queue and waits for it; returns its result or rethrows its exception.
  template <class Work>
  auto sync(Work&& work) -> std::invoke_result_t<Work&> {
    if (onQueue()) return work();
    std::packaged_task<std::invoke_result_t<Work&>()> task(std::forward<Work>(work));
    auto done = task.get_future();
    asio::post(*io_, [&task] { task(); });
    return done.get();
  }

  // True on the queue's own thread.
  bool onQueue() const;

  asio::io_context& context() { return *io_; }

 private:
  // Shared with the queue's thread: a queue destroyed by work running on it (the work held the
  // last reference to its owner) leaves the context to the thread until its run() returns.
  std::shared_ptr<asio::io_context> io_;
  asio::executor_work_guard<asio::io_context::executor_type> keepRunning_;
  std::string threadName_;
  std::thread thread_;
};
