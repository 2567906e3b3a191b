#include "main/ProcessConsole.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

// One write(2) call normally carries the whole text; the loop only finishes a write that a
// signal or a full pipe cut short.
void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace

ProcessConsole& ProcessConsole::shared() {
  static ProcessConsole console;
  return console;
}

void ProcessConsole::out(std::string_view bytes) { writeAll(STDOUT_FILENO, bytes); }

void ProcessConsole::err(std::string_view bytes) { writeAll(STDERR_FILENO, bytes); }

void ProcessConsole::end(int status) {
  // Only the output streams: flushing every stream would wait for stdin's lock, which a thread
  // blocked reading standard input through stdio holds.
  std::fflush(stdout);
  std::fflush(stderr);
  ::_exit(status);
}
