#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "base/DurableFile.h"

class Console;

// An append-only log file of one run: "<isoTime> <event> <detail>\n" per append, each line on
// disk before append() returns (a DurableFile). A failed write is reported on standard error and
// never stops the command.
//
// Threads: append() from any thread. mutex_ is held for one line's stamp and write, so lines
// never interleave and keep call order.
class RunLog {
 public:
  explicit RunLog(std::filesystem::path path);
  RunLog(std::filesystem::path path, Console& console);
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  const std::filesystem::path& path() const { return file_.path(); }

  void append(std::string_view event, std::string_view detail);
  // The detail, a space, and the fields as compact JSON with sorted keys and "/" unescaped
  // ("{}" when they cannot be written).
  void append(std::string_view event, std::string_view detail, const nlohmann::json& fields);

  // The detail with every line or paragraph separator replaced by one space.
  static std::string oneLine(std::string_view detail);

 private:
  void write(const std::string& event, const std::string& detail);
  void report(const std::string& problem);

  Console& console_;
  std::mutex mutex_;
  DurableFile file_;
};

// The process-wide log of a listening command; absent until the command sets it.
void setRunLog(std::shared_ptr<RunLog> log);
std::shared_ptr<RunLog> runLog();

// Appends to the process-wide log, or does nothing while there is none.
void logRun(std::string_view event, std::string_view detail);
void logRun(std::string_view event, std::string_view detail, const nlohmann::json& fields);
