#include "base/ListenEnding.h"

#include "base/Launch.h"

std::shared_ptr<ListenEnding> ListenEnding::make(End end) {
  return std::shared_ptr<ListenEnding>(new ListenEnding(std::move(end)));
}

bool ListenEnding::end(int status, const std::function<void()>& last) {
  {
    std::lock_guard guard(mutex_);
    if (done_) return false;
    done_ = true;
  }
  changed_.notify_all();
  if (last) last();
  end_(status);
  return true;
}

void ListenEnding::watch(std::chrono::duration<double> limit, std::function<void()> overdue) {
  launch("vesk.watchdog", [self = shared_from_this(), limit, overdue = std::move(overdue)] {
    {
      std::unique_lock guard(self->mutex_);
      if (self->changed_.wait_for(guard, limit, [&self] { return self->done_; })) return;
    }
    overdue();
  });
}
