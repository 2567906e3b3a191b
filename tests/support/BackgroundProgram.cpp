#include "support/BackgroundProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "support/Eventually.h"

BackgroundProgram::BackgroundProgram(const std::string& program,
                                     const std::vector<std::string>& args,
                                     const RunOptions& options) {
  ProgramLine line(program, args, options);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    int nothing = open("/dev/null", O_RDWR);
    dup2(nothing, 0);
    dup2(nothing, 1);
    dup2(nothing, 2);
    execvpe(program.c_str(), line.argv.data(), line.envp.data());
    _exit(127);
  }
}

bool BackgroundProgram::running() {
  if (reaped_) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) reaped_ = true;
  return !reaped_;
}

BackgroundProgram::~BackgroundProgram() {
  if (!running()) return;
  kill(pid_, SIGINT);
  if (!eventually([this] { return !running(); }, std::chrono::seconds(2),
                  std::chrono::milliseconds(20))) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}
