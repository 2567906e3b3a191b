#pragma once

#include <pthread.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <type_traits>

// Runs the work on a thread of its own and waits for it: up to the limit, then, once atLimit()
// has been called (to cancel the work), up to `late` more. A GLib call cancelled at its limit
// ends soon after it; the second wait is the backstop for a library whose cancelled call never
// completes. Gives the work's future when it finished in time (get() gives its result or rethrows
// its failure), none when it did not: its thread is then left to it and whatever it ends with is
// dropped, so the work must own everything it uses.
template <class Work, class AtLimit>
std::optional<std::future<std::invoke_result_t<Work&>>> finishedWithin(std::chrono::milliseconds limit,
                                                                     std::chrono::milliseconds late,
                                                                     Work work, AtLimit atLimit) {
  using Result = std::invoke_result_t<Work&>;
  auto task = std::make_shared<std::packaged_task<Result()>>(std::move(work));
  auto result = task->get_future();
  std::thread([task] {
    pthread_setname_np(pthread_self(), "vesk.call");
    (*task)();
  }).detach();
  if (result.wait_for(limit) != std::future_status::ready) {
    atLimit();
    if (result.wait_for(late) != std::future_status::ready) return std::nullopt;
  }
  return result;
}
