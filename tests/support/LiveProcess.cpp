#include "support/LiveProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <sstream>
#include <stdexcept>

#include "support/Eventually.h"

extern char** environ;

LiveProcess::LiveProcess(const std::vector<std::string>& args,
                         const std::map<std::string, std::optional<std::string>>& env)
    : LiveProcess(VESK_BINARY, args, env) {}

LiveProcess::LiveProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::optional<std::string>>& env) {
  // A word written after the process ended must fail, not kill the test.
  ::signal(SIGPIPE, SIG_IGN);
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry; ++entry) {
    std::string text = *entry;
    auto equals = text.find('=');
    if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [name, value] : env) {
    if (value) {
      merged[name] = *value;
    } else {
      merged.erase(name);
    }
  }
  std::vector<std::string> envText;
  for (const auto& [name, value] : merged) envText.push_back(name + "=" + value);
  std::vector<std::string> argvText{program};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv, envp;
  for (auto& text : argvText) argv.push_back(text.data());
  argv.push_back(nullptr);
  for (auto& text : envText) envp.push_back(text.data());
  envp.push_back(nullptr);

  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) {
    throw std::runtime_error("pipe failed");
  }
  child_ = fork();
  if (child_ < 0) throw std::runtime_error("fork failed");
  if (child_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  in_ = in[1];
  outReader_ = std::thread([this, fd = out[0]] { read(fd, true); });
  errReader_ = std::thread([this, fd = err[0]] { read(fd, false); });
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
