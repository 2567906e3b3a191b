#include "support/PrivateStore.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "support/ReplyOf.h"

namespace {

struct BusName {
  std::string name;
  pid_t pid = 0;
};

// The names on the bus and the processes that hold them (the calendar server's among them), by
// the bus's own account of its connections.
std::vector<BusName> busNames(const RunOptions& options) {
  RunResult names = runProgram("/usr/bin/busctl", {"--user", "list", "--no-legend", "--no-pager"},
                               options);
  std::vector<BusName> found;
  std::size_t start = 0;
  while (start < names.out.size()) {
    auto end = names.out.find('\n', start);
    std::string line = names.out.substr(start, end == std::string::npos ? std::string::npos : end - start);
    auto space = line.find_first_of(" \t");
    if (space != std::string::npos) {
      auto rest = line.find_first_not_of(" \t", space);
      if (rest != std::string::npos) {
        pid_t pid = static_cast<pid_t>(std::atoi(line.c_str() + rest));
        if (pid > 1 && pid != getpid()) found.push_back({line.substr(0, space), pid});
      }
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return found;
}

}  // namespace

PrivateStore::PrivateStore(std::string timeZone) : timeZone_(std::move(timeZone)) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
  RunOptions env = options();
  bus_ = fork();
  if (bus_ == 0) {
    for (const auto& [name, value] : env.env) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
    }
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    close(pipeFds[0]);
    std::string printAddress = "--print-address=" + std::to_string(pipeFds[1]);
    int null = ::open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    execlp("dbus-daemon", "dbus-daemon", "--session", "--nofork", printAddress.c_str(),
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  char buffer[512];
  ssize_t got = read(pipeFds[0], buffer, sizeof buffer - 1);
  close(pipeFds[0]);
  if (got <= 0) throw std::runtime_error("the private session bus did not start");
  address_.assign(buffer, static_cast<std::size_t>(got));
  while (!address_.empty() && (address_.back() == '\n' || address_.back() == '\0')) address_.pop_back();
}

PrivateStore::~PrivateStore() {
  if (bus_ <= 0) return;
  // The processes the bus started are ended with it.
  std::vector<BusName> clients = busNames(options());
  kill(bus_, SIGTERM);
  waitpid(bus_, nullptr, 0);
  for (const BusName& client : clients) kill(client.pid, SIGTERM);
}

pid_t PrivateStore::serviceProcess(std::string_view namePrefix) const {
  for (const BusName& held : busNames(options())) {
    if (held.name.starts_with(namePrefix)) return held.pid;
  }
  return 0;
}

RunOptions PrivateStore::options() const {
  RunOptions options;
  options.env = scratch_.env();
  options.env["XDG_CACHE_HOME"] = (scratch_.home() / ".cache").string();
  options.env["XDG_RUNTIME_DIR"] = std::nullopt;
  options.env["TZ"] = timeZone_;
  if (!address_.empty()) options.env["DBUS_SESSION_BUS_ADDRESS"] = address_;
  options.timeoutSeconds = 60;
  return options;
}

RunResult PrivateStore::vesk(const std::vector<std::string>& args) const {
  return runVesk(args, options());
}

nlohmann::json PrivateStore::reply(const std::vector<std::string>& args) const {
  return nlohmann::json::parse(replyOf(vesk(args)), nullptr, false);
}

std::string PrivateStore::seed(const std::vector<std::string>& args) const {
  RunResult result = runProgram(STORE_SEED, args, options());
  EXPECT_EQ(result.status, 0) << "store_seed failed: " << result.err;
  return result.out;
}
