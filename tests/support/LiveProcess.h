#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A running vesk-native whose standard input stays open until closed, for the listen modes:
// the test writes words while it runs and waits for lines as they come.
class LiveProcess {
 public:
  LiveProcess(const std::vector<std::string>& args,
              const std::map<std::string, std::optional<std::string>>& env);
  // Any other program, by its path, watched the same way (a target window, a fake service).
  LiveProcess(const std::string& program, const std::vector<std::string>& args,
              const std::map<std::string, std::optional<std::string>>& env);
  ~LiveProcess();  // kills the process if it still runs
  LiveProcess(const LiveProcess&) = delete;
  LiveProcess& operator=(const LiveProcess&) = delete;

  pid_t pid() const { return child_; }
  void write(const std::string& text);
  void closeInput();
  // Sends the signal to the process.
  void signal(int number);

  // Waits until a line of standard output, past the first `skip`, satisfies the test; answers
  // whether one did.
  bool waitForLine(const std::function<bool(const std::string&)>& wanted,
                   std::chrono::milliseconds limit, std::size_t skip = 0);
  // Waits for the exit; its status (128 + signal for a signal), or -1 after the limit.
  int waitExit(std::chrono::milliseconds limit);

  std::vector<std::string> lines();
  std::string err();

 private:
  void read(int fd, bool isOut);

  pid_t child_ = -1;
  int in_ = -1;
  std::mutex mutex_;  // guards out_, err_, closed_
  std::condition_variable changed_;
  std::string out_;
  std::string err_;
  int closed_ = 0;
  std::thread outReader_;
  std::thread errReader_;
  std::optional<int> status_;
};
