#pragma once

#include <utility>

// A file descriptor, closed when its owner goes. Threads: its owner's.
class OwnedFd {
 public:
  OwnedFd() = default;
  explicit OwnedFd(int fd) : fd_(fd) {}
  ~OwnedFd() { reset(); }
  OwnedFd(OwnedFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  OwnedFd& operator=(OwnedFd&& other) noexcept;
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void reset();
  // Gives the descriptor up to a new owner.
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_ = -1;
};
