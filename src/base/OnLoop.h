#pragma once

#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <future>
#include <type_traits>
#include <utility>

// Runs the work on the loop and waits for it; returns its result or rethrows its exception. On
// the loop's own thread the work runs at once. For a job off the loop that must read or change
// a session's state, which only the loop touches; the loop itself never waits for such a job.
template <class Work>
auto onLoop(asio::io_context& loop, Work&& work) -> std::invoke_result_t<Work&> {
  if (loop.get_executor().running_in_this_thread()) return work();
  std::packaged_task<std::invoke_result_t<Work&>()> task(std::forward<Work>(work));
  auto done = task.get_future();
  asio::post(loop, [&task] { task(); });
  return done.get();
}
