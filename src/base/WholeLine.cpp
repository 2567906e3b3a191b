#include "base/WholeLine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

void appendWholeLine(int fd, std::string_view line) {
  struct stat before {};
  if (::fstat(fd, &before) != 0) throw std::system_error(errno, std::generic_category());
  std::string_view rest = line;
  while (!rest.empty()) {
    const ssize_t wrote = ::write(fd, rest.data(), rest.size());
    if (wrote < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      if (rest.size() != line.size()) {
        // Nothing useful can be done if this fails too: the error reported is the write's.
        [[maybe_unused]] const int cut = ::ftruncate(fd, before.st_size);
      }
      throw std::system_error(error, std::generic_category());
    }
    rest.remove_prefix(static_cast<std::size_t>(wrote));
  }
}
