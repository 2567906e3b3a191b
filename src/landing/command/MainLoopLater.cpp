#include "landing/command/MainLoopLater.h"

#include <asio/steady_timer.hpp>
#include <memory>

Later::Cancel MainLoopLater::after(std::chrono::duration<double> delay,
                                   std::function<void()> work) {
  auto timer = std::make_shared<asio::steady_timer>(
      loop_, std::chrono::duration_cast<std::chrono::steady_clock::duration>(delay));
  // A timer that has fired may already have its handler queued: the flag stops it too.
  auto cancelled = std::make_shared<bool>(false);
  timer->async_wait([timer, cancelled, work = std::move(work)](const std::error_code& error) {
    if (!error && !*cancelled) work();
  });
  return [timer, cancelled] {
    *cancelled = true;
    timer->cancel();
  };
}
