#include "support/LiveProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <sstream>
#include <stdexcept>

#include "support/Eventually.h"
#include "support/Run.h"

LiveProcess::LiveProcess(const std::vector<std::string>& args,
                         const std::map<std::string, std::optional<std::string>>& env)
    : LiveProcess(VESK_BINARY, args, env) {}

LiveProcess::LiveProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::optional<std::string>>& env) {
  // A word written after the process ended must fail, not kill the test.
  ::signal(SIGPIPE, SIG_IGN);
  RunOptions options;
  options.env = env;
  const PipedProgram started{ProgramLine(program, args, options)};
  child_ = started.pid;
  in_ = started.in;
  outReader_ = std::thread([this, fd = started.out] { read(fd, true); });
  errReader_ = std::thread([this, fd = started.err] { read(fd, false); });
}

LiveProcess::~LiveProcess() {
  if (!status_) {
    kill(child_, SIGKILL);
    waitExit(std::chrono::seconds(5));
  }
  closeInput();
  if (outReader_.joinable()) outReader_.join();
  if (errReader_.joinable()) errReader_.join();
}

void LiveProcess::signal(int number) { kill(child_, number); }

void LiveProcess::read(int fd, bool isOut) {
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    std::lock_guard guard(mutex_);
    if (n <= 0) {
      ++closed_;
      break;
    }
    (isOut ? out_ : err_).append(buffer, static_cast<std::size_t>(n));
    changed_.notify_all();
  }
  changed_.notify_all();
  close(fd);
}

void LiveProcess::write(const std::string& text) {
  if (in_ >= 0) (void)!::write(in_, text.data(), text.size());
}

void LiveProcess::closeInput() {
  if (in_ >= 0) close(in_);
  in_ = -1;
}

std::vector<std::string> LiveProcess::lines() {
  std::lock_guard guard(mutex_);
  std::vector<std::string> found;
  std::istringstream text(out_);
  for (std::string line; std::getline(text, line);) found.push_back(line);
  return found;
}

std::string LiveProcess::err() {
  std::lock_guard guard(mutex_);
  return err_;
}

bool LiveProcess::waitForLine(const std::function<bool(const std::string&)>& wanted,
                              std::chrono::milliseconds limit, std::size_t skip) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  auto found = [&] {
    const auto all = lines();
    return std::any_of(all.begin() + static_cast<long>(std::min(skip, all.size())), all.end(),
                       wanted);
  };
  for (;;) {
    if (found()) return true;
    std::unique_lock guard(mutex_);
    if (closed_ >= 2) return false;
    if (changed_.wait_until(guard, deadline) == std::cv_status::timeout) {
      guard.unlock();
      return found();
    }
  }
}

int LiveProcess::waitExit(std::chrono::milliseconds limit) {
  if (status_) return *status_;
  int status = 0;
  if (!eventually([&] { return waitpid(child_, &status, WNOHANG) == child_; }, limit,
                  std::chrono::milliseconds(10))) {
    return -1;
  }
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  // The output is complete once the readers have seen both pipes close.
  std::unique_lock guard(mutex_);
  changed_.wait_for(guard, std::chrono::seconds(2), [this] { return closed_ >= 2; });
  return *status_;
}
