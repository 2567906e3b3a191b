#include "base/ProcessConsole.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// One write(2) normally carries the whole text. A signal, a full non-blocking pipe (EAGAIN: wait
// until it can take more) or a short write only make the loop go on with what is left. Only a
// real error (a closed pipe) drops the rest.
void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        pollfd ready{fd, POLLOUT, 0};
        while (::poll(&ready, 1, -1) < 0 && errno == EINTR) {
        }
        if (ready.revents & (POLLERR | POLLNVAL)) return;
        continue;
      }
      return;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace

ProcessConsole& ProcessConsole::shared() {
  static ProcessConsole console(STDOUT_FILENO, STDERR_FILENO);
  return console;
}

void ProcessConsole::out(std::string_view bytes) { writeAll(outFd_, bytes); }

void ProcessConsole::err(std::string_view bytes) { writeAll(errFd_, bytes); }

void ProcessConsole::end(int status) {
  // Only the output streams: flushing every stream would wait for stdin's lock, which a thread
  // blocked reading standard input through stdio holds.
  std::fflush(stdout);
  std::fflush(stderr);
  ::_exit(status);
}
