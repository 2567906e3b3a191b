#include "support/Run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace {

std::vector<char*> pointersTo(std::vector<std::string>& texts) {
  std::vector<char*> result;
  for (auto& text : texts) result.push_back(text.data());
  result.push_back(nullptr);
  return result;
}

std::vector<std::string> environmentWith(const RunOptions& options) {
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry; ++entry) {
    std::string text = *entry;
    auto equals = text.find('=');
    if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [name, value] : options.env) {
    if (value) {
      merged[name] = *value;
    } else {
      merged.erase(name);
    }
  }
  std::vector<std::string> result;
  for (const auto& [name, value] : merged) result.push_back(name + "=" + value);
  return result;
}

}  // namespace

ProgramLine::ProgramLine(const std::string& program, const std::vector<std::string>& args,
                         const RunOptions& options)
    : argvText{program}, envText(environmentWith(options)) {
  argvText.insert(argvText.end(), args.begin(), args.end());
  argv = pointersTo(argvText);
  envp = pointersTo(envText);
}

PipedProgram::PipedProgram(const ProgramLine& line) {
  int inPipe[2], outPipe[2], errPipe[2];
  if (pipe2(inPipe, O_CLOEXEC) || pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC)) {
    throw std::runtime_error("pipe failed");
  }
  pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(inPipe[0], 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    execve(line.argv[0], line.argv.data(), line.envp.data());
    _exit(127);
  }
  close(inPipe[0]);
  close(outPipe[1]);
  close(errPipe[1]);
  in = inPipe[1];
  out = outPipe[0];
  err = errPipe[0];
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options) {
  const PipedProgram started{ProgramLine(program, args, options)};
  const pid_t child = started.pid;
  bool outOpen = true;
  if (options.closedOutput) {
    close(started.out);  // the child's copy closed with its exec: no reader is left
    outOpen = false;
  }

  RunResult result;
  std::string_view input = options.input;
  int inFd = started.in;
  if (input.empty()) {
    close(inFd);
    inFd = -1;
  } else {
    fcntl(inFd, F_SETFL, O_NONBLOCK);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
  bool errOpen = true, killed = false;
  while (outOpen || errOpen) {
    pollfd fds[3];
    int count = 0;
    if (outOpen) fds[count++] = {started.out, POLLIN, 0};
    if (errOpen) fds[count++] = {started.err, POLLIN, 0};
    if (inFd >= 0) fds[count++] = {inFd, POLLOUT, 0};
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) {
      if (!killed) kill(child, SIGKILL);
      killed = true;
      left = 1000;
    }
    int ready = poll(fds, count, static_cast<int>(left));
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < count && ready > 0; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == inFd) {
        ssize_t n = write(inFd, input.data(), input.size());
        if (n > 0) input.remove_prefix(static_cast<size_t>(n));
        if (n < 0 || input.empty()) {
          close(inFd);
          inFd = -1;
        }
        continue;
      }
      char buffer[65536];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      bool isOut = fds[i].fd == started.out;
      if (n > 0) {
        (isOut ? result.out : result.err).append(buffer, static_cast<size_t>(n));
      } else {
        (isOut ? outOpen : errOpen) = false;
      }
    }
  }
  if (inFd >= 0) close(inFd);
  if (!options.closedOutput) close(started.out);
  close(started.err);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

RunResult runVesk(const std::vector<std::string>& args, const RunOptions& options) {
  return runProgram(VESK_BINARY, args, options);
}
