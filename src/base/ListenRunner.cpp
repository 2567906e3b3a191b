#include "base/ListenRunner.h"

#include <unistd.h>

#include <asio/executor_work_guard.hpp>
#include <csignal>
#include <cstdlib>

#include "base/Console.h"
#include "base/ExitStatus.h"
#include "base/InputLines.h"
#include "base/Launch.h"
#include "base/LineWriter.h"
#include "base/PermissionStatus.h"
#include "base/RunLog.h"
#include "base/Usage.h"

ListenRunner::ListenRunner(Context& context)
    : context_(context), lines_(*new LineWriter(context.console)), loop_(*new asio::io_context) {
  // A parent that goes away leaves the lines nowhere to go; the process still ends its own way.
  std::signal(SIGPIPE, SIG_IGN);
}

std::string ListenRunner::requireMicrophone() {
  std::string status(microphoneStatus(context_.platform));
  if (status != GRANTED) fail(microphoneDenied, EXIT_NOT_PERMITTED);
  return status;
}

void ListenRunner::fail(std::string_view message, int status) {
  context_.console.err(message);
  context_.console.end(status);
  std::abort();  // end() never returns; this only guards against a console that does
}

void ListenRunner::usageError() { fail(USAGE, EXIT_USAGE); }

std::shared_ptr<RunLog> ListenRunner::openLog(const std::filesystem::path& path, bool fresh, bool shared) {
  if (fresh) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  auto log = std::make_shared<RunLog>(path, context_.console);
  if (shared) setRunLog(log);
  return log;
}

void ListenRunner::readInput(std::function<void(const std::string&)> onLine, std::function<void()> onEnd) {
  launch("vesk.stdin", [onLine = std::move(onLine), onEnd = std::move(onEnd)] {
    readInputLines(STDIN_FILENO, onLine);
    onEnd();
  });
}

void ListenRunner::start(std::function<void()> start, std::function<void(std::exception_ptr)> failed) {
  launch("vesk.start", [start = std::move(start), failed = std::move(failed)] {
    try {
      start();
    } catch (...) {
      failed(std::current_exception());
    }
  });
}

void ListenRunner::run() {
  auto keepRunning = asio::make_work_guard(loop_);
  loop_.run();
  context_.console.end(EXIT_OK);
  std::abort();  // end() never returns; this only guards against a console that does
}
