#include "base/InputLines.h"

#include <unistd.h>

#include <cerrno>

void readInputLines(int fd, const std::function<void(const std::string&)>& onLine) {
  std::string pending;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
      onLine(pending.substr(start, end - start));
    }
    pending.erase(0, start);
  }
  if (!pending.empty()) onLine(pending);
}
