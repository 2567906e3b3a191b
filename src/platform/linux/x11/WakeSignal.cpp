#include "platform/linux/x11/WakeSignal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

WakeSignal::WakeSignal() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeSignal::~WakeSignal() {
  if (fd_ >= 0) close(fd_);
}

void WakeSignal::notify() {
  std::uint64_t one = 1;
  [[maybe_unused]] auto written = write(fd_, &one, sizeof one);
}

void WakeSignal::drain() {
  std::uint64_t count = 0;
  [[maybe_unused]] auto got = read(fd_, &count, sizeof count);
}
