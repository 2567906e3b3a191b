#pragma once

#include <asio/io_context.hpp>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/Context.h"

class LineWriter;
class RunLog;

// What the three listen commands share, done once: SIGPIPE ignored, the microphone check with
// its one refusal, the run log, standard input read line by line on "vesk.stdin", the start on
// "vesk.start", and the main thread's loop, run until an ending ends the process. Each command
// gives only what differs: its checks, its session and what each input line means to it.
//
// Threads: made and used on the main thread; the input handlers run on the stdin thread, the
// start and its failure on the start thread.
class ListenRunner {
 public:
  explicit ListenRunner(Context& context);
  ListenRunner(const ListenRunner&) = delete;
  ListenRunner& operator=(const ListenRunner&) = delete;

  Context& context() { return context_; }
  // The process's event-line writer; never destroyed, since lines may be written while the
  // process ends.
  LineWriter& lines() { return lines_; }
  // The main thread's loop, which run() runs.
  asio::io_context& loop() { return loop_; }

  // The microphone's status word. Anything but "granted" ends the process with the refusal and
  // status 2.
  std::string requireMicrophone();
  // The message on standard error, then the status.
  [[noreturn]] void fail(std::string_view message, int status);
  // The usage text and status 64.
  [[noreturn]] void usageError();

  // Opens the run's log; fresh removes the previous run's first. The meeting and dictation logs
  // are also the process-wide log their sessions write to (shared).
  std::shared_ptr<RunLog> openLog(const std::filesystem::path& path, bool fresh, bool shared);

  // Reads standard input from now on: each line to onLine, then the end of input to onEnd.
  void readInput(std::function<void(const std::string& line)> onLine, std::function<void()> onEnd);
  // Runs start on its own thread; what it throws goes to failed there.
  void start(std::function<void()> start, std::function<void(std::exception_ptr)> failed);

  // Runs the main loop until an ending ends the process. Never returns.
  [[noreturn]] void run();

 private:
  Context& context_;
  LineWriter& lines_;
  asio::io_context& loop_;
};
