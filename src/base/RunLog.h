#pragma once

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "base/SerialQueue.h"

class Console;

// An append-only log file of one run: "<isoTime> <event> <detail>\n" per append, each line on
// disk before append() returns. The file is opened on the first append and kept open; a failed
// open is retried on the next append. A failed write is reported on standard error and never
// stops the command.
//
// Threads: append() from any thread; all file work runs on the log's own queue "vesk.log", so
// lines never interleave and keep call order. Only the queue touches fd_.
class RunLog {
 public:
  explicit RunLog(std::filesystem::path path);
  RunLog(std::filesystem::path path, Console& console);
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  const std::filesystem::path& path() const { return path_; }

  void append(std::string_view event, std::string_view detail);
  // The detail, a space, and the fields as compact JSON with sorted keys and "/" unescaped
  // ("{}" when they cannot be written).
  void append(std::string_view event, std::string_view detail, const nlohmann::json& fields);

  // The detail with every line or paragraph separator replaced by one space.
  static std::string oneLine(std::string_view detail);

 private:
  void write(const std::string& event, const std::string& detail);
  bool open(std::string& problem);
  void report(const std::string& problem);

  const std::filesystem::path path_;
  Console& console_;
  SerialQueue queue_;
  int fd_ = -1;
};

// The process-wide log of a listening command; absent until the command sets it.
void setRunLog(std::shared_ptr<RunLog> log);
std::shared_ptr<RunLog> runLog();

// Appends to the process-wide log, or does nothing while there is none.
void logRun(std::string_view event, std::string_view detail);
void logRun(std::string_view event, std::string_view detail, const nlohmann::json& fields);
