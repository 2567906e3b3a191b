#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/BackgroundProgram.h"
#include "support/Run.h"
#include "support/Scratch.h"

// A sound server of the test's own, with the devices it is given, off the session bus; stopped
// when the test ends. Tests may stop, hang or kill it: the test services' one is shared.
class PrivateSoundServer {
 public:
  // modules: the module loads after the protocol, as "name arguments".
  PrivateSoundServer(const Scratch& scratch, const std::vector<std::string>& modules);

  std::string socket() const { return (folder_ / "sock").string(); }
  std::string address() const { return "unix:" + socket(); }
  RunOptions clientOptions() const;
  RunResult pactl(const std::vector<std::string>& args) const;
  void setDefaultSink(const std::string& name) const;
  pid_t pid() const { return server_->pid(); }

 private:
  std::filesystem::path folder_;
  std::unique_ptr<BackgroundProgram> server_;
};
