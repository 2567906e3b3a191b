#include "base/SharedPool.h"

#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <memory>

asio::thread_pool& sharedPool() {
  // Two threads: the jobs are short (timers, level lines), and one that waits on a full pipe or a
  // slow bus still leaves the other.
  static auto* pool = new asio::thread_pool(2);
  return *pool;
}

void runAfter(std::chrono::duration<double> delay, std::function<void()> work) {
  auto timer = std::make_shared<asio::steady_timer>(
      sharedPool().get_executor(),
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(delay));
  timer->async_wait([timer, work = std::move(work)](const std::error_code& error) {
    if (!error) work();
  });
}
