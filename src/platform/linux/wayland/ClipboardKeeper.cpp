#include "platform/linux/wayland/ClipboardKeeper.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "platform/linux/UniqueFd.h"

extern char** environ;

namespace {

constexpr const char* TEXT_TYPE = "text/plain;charset=utf-8";
constexpr const char* TRANSIENT_TYPE = "x-kde-passwordManagerHint";

// Writes all of `data` to the pipe, each wait for room bounded by the deadline.
bool writeAll(int fd, const std::string& data, std::chrono::steady_clock::time_point deadline) {
  std::size_t done = 0;
  while (done < data.size()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{fd, POLLOUT, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::optional<ClipboardFlavor> ClipboardKeeper::kept(const std::vector<ClipboardFlavor>& flavors) {
  if (flavors.empty()) return std::nullopt;
  auto marked = [](const ClipboardFlavor& f) { return f.type == TRANSIENT_TYPE; };
  if (std::any_of(flavors.begin(), flavors.end(), marked)) return std::nullopt;
  auto text = std::find_if(flavors.begin(), flavors.end(),
                           [](const ClipboardFlavor& f) { return f.type == TEXT_TYPE; });
  return text != flavors.end() ? *text : flavors.front();
}

bool ClipboardKeeper::keep(const ClipboardFlavor& flavor, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  UniqueFd readEnd(ends[0]);
  UniqueFd writeEnd(ends[1]);
  fcntl(writeEnd.get(), F_SETFL, O_NONBLOCK);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, readEnd.get(), STDIN_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string program = "wl-copy", typeFlag = "--type", type = flavor.type;
  char* argv[] = {program.data(), typeFlag.data(), type.data(), nullptr};
  pid_t child = -1;
  const int spawned = posix_spawnp(&child, "wl-copy", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;
  readEnd.reset();

  // A wl-copy that never reads must not stop the bridge from ending.
  sigset_t pipeSignal, before;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
  const bool written = writeAll(writeEnd.get(), flavor.data, deadline);
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  writeEnd.reset();

  // wl-copy reads everything, leaves a server of its own behind and exits.
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return false;
    }
    usleep(5000);
  }
  return written && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
