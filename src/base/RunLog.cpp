#include "base/RunLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <system_error>

#include "base/WholeLine.h"
#include "base/TimeText.h"
#include "base/Console.h"
#include "base/ProcessConsole.h"

namespace {

std::string describe(const char* action, const std::filesystem::path& path, int error) {
  return std::string(action) + " " + path.string() + ": " + std::strerror(error);
}

}  // namespace

RunLog::RunLog(std::filesystem::path path) : RunLog(std::move(path), ProcessConsole::shared()) {}

RunLog::RunLog(std::filesystem::path path, Console& console)
    : path_(std::move(path)), console_(console), queue_("vesk.log") {}

RunLog::~RunLog() {
  queue_.sync([this] {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  });
}

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
  std::string body = event + " " + oneLine(detail) + "\n";
  queue_.sync([&] {
    std::string line = isoTimeNow() + " " + body;
    std::string problem;
    if (fd_ < 0 && !open(problem)) {
      report(problem);
      return;
    }
    try {
      appendWholeLine(fd_, line);
    } catch (const std::system_error& failure) {
      report(describe("write", path_, failure.code().value()));
      return;
    }
    if (::fsync(fd_) != 0) report(describe("fsync", path_, errno));
  });
}

bool RunLog::open(std::string& problem) {
  std::error_code error;
  std::filesystem::create_directories(path_.parent_path(), error);
  if (error) {
    problem = "create " + path_.parent_path().string() + ": " + error.message();
    return false;
  }
  int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) {
    problem = describe("open", path_, errno);
    return false;
  }
  fd_ = fd;
  return true;
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
