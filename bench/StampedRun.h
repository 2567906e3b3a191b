#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// One vesk-native run (or another program's) with its standard input held open and every line
// of its standard output stamped as it arrives; killed when it goes.
class StampedRun {
 public:
  using Clock = std::chrono::steady_clock;

  explicit StampedRun(std::vector<std::string> args) : StampedRun(VESK_BINARY, std::move(args)) {}
  StampedRun(std::string program, std::vector<std::string> args) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC)) std::exit(1);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      std::vector<char*> argv{program.data()};
      for (auto& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    reader_ = std::thread([this, fd = out[0]] {
      std::string pending;
      char buffer[65536];
      for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
        const auto now = Clock::now();
        pending.append(buffer, static_cast<std::size_t>(n));
        std::lock_guard guard(mutex_);
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
          lines_.emplace_back(now, pending.substr(0, end));
          pending.erase(0, end + 1);
        }
      }
      close(fd);
    });
  }
  ~StampedRun() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    close(in_);
    reader_.join();
  }
  StampedRun(const StampedRun&) = delete;
  StampedRun& operator=(const StampedRun&) = delete;

  pid_t pid() const { return pid_; }
  void say(const std::string& text) {
    if (write(in_, text.data(), text.size()) < 0) std::perror("write");
  }
  // When the first line since the time point holding every one of the texts came, waiting up to
  // the limit.
  std::optional<Clock::time_point> when(const std::vector<std::string>& texts,
                                        Clock::time_point since, std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      {
        std::lock_guard guard(mutex_);
        for (const auto& [at, line] : lines_) {
          bool holds = at >= since;
          for (const auto& text : texts) holds = holds && line.find(text) != std::string::npos;
          if (holds) return at;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
  }
  // Waits up to the limit for the exit.
  bool exited(std::chrono::seconds limit) {
    const auto deadline = Clock::now() + limit;
    int status = 0;
    while (Clock::now() < deadline) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  // CPU seconds (user and system) the process used so far.
  double cpuSeconds() const {
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto name = text.rfind(')');
    if (name == std::string::npos) return 0;
    unsigned long user = 0, system = 0;
    // After the name: state, then ten fields, then utime and stime.
    if (std::sscanf(text.c_str() + name + 2, "%*c %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %lu %lu",
                    &user, &system) != 2) {
      return 0;
    }
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
  }
  // A figure of /proc/<pid>/status in kB ("VmRSS:", "VmHWM:").
  long memoryKb(const char* key) const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  std::thread reader_;
  std::mutex mutex_;
  std::vector<std::pair<Clock::time_point, std::string>> lines_;
};
