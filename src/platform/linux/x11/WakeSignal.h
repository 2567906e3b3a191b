#pragma once

// An eventfd that wakes a thread waiting in poll(2) beside its X connection.
// Threads: notify() from any thread; drain() and fd() on the waiting thread.
class WakeSignal {
 public:
  WakeSignal();
  ~WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  int fd() const { return fd_; }
  void notify();
  void drain();

 private:
  int fd_;
};
