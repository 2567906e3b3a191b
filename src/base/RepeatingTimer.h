#pragma once

#include <asio/steady_timer.hpp>
#include <asio/strand.hpp>
#include <asio/any_io_executor.hpp>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

// Work that runs every interval on the shared pool, first one interval after start, each
// deadline exactly one interval after the previous (no drift, no leeway), until cancelled.
//
// Threads: cancel() from any thread; the work runs on the shared pool, or on the executor given
// (a session's loop), through the timer's strand, so two runs never overlap. After cancel()
// returns, no new run begins.
class RepeatingTimer : public std::enable_shared_from_this<RepeatingTimer> {
 public:
  static std::shared_ptr<RepeatingTimer> start(std::chrono::duration<double> interval,
                                               std::function<void()> work);
  static std::shared_ptr<RepeatingTimer> start(const asio::any_io_executor& executor,
                                               std::chrono::duration<double> interval,
                                               std::function<void()> work);
  void cancel();

 private:
  RepeatingTimer(const asio::any_io_executor& executor, std::chrono::duration<double> interval,
                 std::function<void()> work);
  void arm();

  const std::chrono::steady_clock::duration interval_;
  const std::function<void()> work_;
  asio::strand<asio::any_io_executor> strand_;
  asio::steady_timer timer_;  // used on the strand only
  std::chrono::steady_clock::time_point next_;
  std::atomic<bool> cancelled_{false};
};
