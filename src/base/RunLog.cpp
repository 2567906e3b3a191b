#include "base/RunLog.h"

#include <mutex>

#include "base/DurableFile.h"
#include "base/TimeText.h"
#include "base/Console.h"
#include "base/ProcessConsole.h"

namespace {

std::string describe(const DurableFile::Failure& failure) {
  static constexpr const char* STEPS[] = {"create", "open", "write", "fsync"};
  return std::string(STEPS[static_cast<int>(failure.step)]) + " " + failure.path.string() + ": " +
         failure.code().message();
}

}  // namespace

RunLog::RunLog(std::filesystem::path path) : RunLog(std::move(path), ProcessConsole::shared()) {}

RunLog::RunLog(std::filesystem::path path, Console& console) : console_(console), file_(std::move(path)) {}

std::string RunLog::oneLine(std::string_view detail) {
  // Line feed, vertical tab, form feed, carriage return, next line (U+0085),
  // line separator (U+2028) and paragraph separator (U+2029).
  std::string line;
  line.reserve(detail.size());
  for (size_t i = 0; i < detail.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(detail[i]);
    if (c >= 0x0A && c <= 0x0D) {
      line += ' ';
    } else if (c == 0xC2 && i + 1 < detail.size() &&
               static_cast<unsigned char>(detail[i + 1]) == 0x85) {
      line += ' ';
      i += 1;
    } else if (c == 0xE2 && i + 2 < detail.size() &&
               static_cast<unsigned char>(detail[i + 1]) == 0x80 &&
               (static_cast<unsigned char>(detail[i + 2]) == 0xA8 ||
                static_cast<unsigned char>(detail[i + 2]) == 0xA9)) {
      line += ' ';
      i += 2;
    } else {
      line += static_cast<char>(c);
    }
  }
  return line;
}

void RunLog::append(std::string_view event, std::string_view detail) {
  write(std::string(event), std::string(detail));
}

void RunLog::append(std::string_view event, std::string_view detail,
                    const nlohmann::json& fields) {
  std::string json;
  try {
    json = fields.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
  } catch (const nlohmann::json::exception&) {
    json = "{}";
  }
  std::string full(detail);
  full += ' ';
  full += json;
  write(std::string(event), full);
}

void RunLog::write(const std::string& event, const std::string& detail) {
  const std::string body = event + " " + oneLine(detail) + "\n";
  std::string problem;
  {
    // Held for the stamp too, so the lines' times follow their order in the file.
    std::lock_guard guard(mutex_);
    try {
      file_.append(isoTimeNow() + " " + body);
    } catch (const DurableFile::Failure& failure) {
      problem = describe(failure);
    }
  }
  if (!problem.empty()) report(problem);
}

void RunLog::report(const std::string& problem) {
  console_.err("vesk-native: couldn\u2019t write the run\u2019s log: " + problem + "\n");
}

namespace {

std::mutex processLogLock;
std::shared_ptr<RunLog> processLog;  // guarded by processLogLock

}  // namespace

void setRunLog(std::shared_ptr<RunLog> log) {
  std::lock_guard lock(processLogLock);
  processLog = std::move(log);
}

std::shared_ptr<RunLog> runLog() {
  std::lock_guard lock(processLogLock);
  return processLog;
}

void logRun(std::string_view event, std::string_view detail) {
  if (auto log = runLog()) log->append(event, detail);
}

void logRun(std::string_view event, std::string_view detail, const nlohmann::json& fields) {
  if (auto log = runLog()) log->append(event, detail, fields);
}
