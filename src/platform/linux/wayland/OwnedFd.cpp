#include "platform/linux/wayland/OwnedFd.h"

#include <unistd.h>

OwnedFd& OwnedFd::operator=(OwnedFd&& other) noexcept {
  if (this != &other) {
    reset();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void OwnedFd::reset() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}
