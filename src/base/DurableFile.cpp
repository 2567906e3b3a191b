#include "base/DurableFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

}  // namespace

DurableFile::Failure::Failure(Step step, std::filesystem::path path, std::error_code code)
    : std::system_error(code), step(step), path(std::move(path)) {}

DurableFile::DurableFile(std::filesystem::path path) : path_(std::move(path)) {}

DurableFile::~DurableFile() { close(); }

void DurableFile::close() {
  std::lock_guard guard(mutex_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void DurableFile::open() {
  const auto folder = path_.parent_path();
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw Failure(Failure::Step::Create, folder, error);
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) throw Failure(Failure::Step::Open, path_, lastError());
  fd_ = fd;
  // The file's name is on stable storage too, not only its lines.
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    ::fsync(folderFd);
    ::close(folderFd);
  }
}

void DurableFile::append(std::string_view line) {
  std::lock_guard guard(mutex_);
  if (fd_ < 0) open();
  struct stat before {};
  if (::fstat(fd_, &before) != 0) throw Failure(Failure::Step::Write, path_, lastError());
  std::string_view rest = line;
  while (!rest.empty()) {
    const ssize_t wrote = ::write(fd_, rest.data(), rest.size());
    if (wrote < 0) {
      if (errno == EINTR) continue;
      const std::error_code error = lastError();
      if (rest.size() != line.size()) {
        // Nothing useful can be done if this fails too: the error reported is the write's.
        [[maybe_unused]] const int cut = ::ftruncate(fd_, before.st_size);
      }
      throw Failure(Failure::Step::Write, path_, error);
    }
    rest.remove_prefix(static_cast<std::size_t>(wrote));
  }
  if (::fdatasync(fd_) != 0) throw Failure(Failure::Step::Sync, path_, lastError());
}
