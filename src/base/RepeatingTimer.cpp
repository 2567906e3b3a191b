#include "base/RepeatingTimer.h"

#include <asio/post.hpp>

#include "base/SharedPool.h"

RepeatingTimer::RepeatingTimer(const asio::any_io_executor& executor,
                               std::chrono::duration<double> interval, std::function<void()> work)
    : interval_(std::chrono::duration_cast<std::chrono::steady_clock::duration>(interval)),
      work_(std::move(work)),
      strand_(asio::make_strand(executor)),
      timer_(strand_) {}

std::shared_ptr<RepeatingTimer> RepeatingTimer::start(std::chrono::duration<double> interval,
                                                      std::function<void()> work) {
  return start(sharedPool().get_executor(), interval, std::move(work));
}

std::shared_ptr<RepeatingTimer> RepeatingTimer::start(const asio::any_io_executor& executor,
                                                      std::chrono::duration<double> interval,
                                                      std::function<void()> work) {
  std::shared_ptr<RepeatingTimer> timer(new RepeatingTimer(executor, interval, std::move(work)));
  asio::post(timer->strand_, [timer] {
    timer->next_ = std::chrono::steady_clock::now() + timer->interval_;
    timer->arm();
  });
  return timer;
}

void RepeatingTimer::arm() {
  if (cancelled_) return;
  timer_.expires_at(next_);
  timer_.async_wait([self = shared_from_this()](const std::error_code& error) {
    if (error || self->cancelled_) return;
    self->next_ += self->interval_;
    self->work_();
    self->arm();
  });
}

void RepeatingTimer::cancel() {
  cancelled_ = true;
  asio::post(strand_, [self = shared_from_this()] { self->timer_.cancel(); });
}
