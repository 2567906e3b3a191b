#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/BackgroundProgram.h"
#include "support/Run.h"
#include "support/Scratch.h"

// How a private sound server is set up. Each member has an initialiser, so that a setup names
// only those it needs ({.modules = {...}}) without a warning for the others.
struct SoundServerSetup {
  std::vector<std::string> modules{};         // loaded after the protocol, each "name arguments"
  std::string protocol = "auth-anonymous=1";  // the native protocol's arguments beside its socket
  std::string defaultSource{};                // made the default once it runs, when not empty
  std::string folder = "pulse";               // its HOME and runtime folder, in the scratch root
};

// A sound server of the test's own, with the devices it is given, off the session bus; stopped
// when the test ends. Tests may stop, hang or kill it: the test services' one is shared.
class PrivateSoundServer {
 public:
  PrivateSoundServer(const Scratch& scratch, const SoundServerSetup& setup);

  const std::filesystem::path& folder() const { return folder_; }
  std::string socket() const { return (folder_ / "sock").string(); }
  std::string address() const { return "unix:" + socket(); }
  RunOptions clientOptions() const;
  RunResult pactl(const std::vector<std::string>& args) const;
  void setDefaultSink(const std::string& name) const;
  // The index of the first loaded module whose line holds the word (its name or an argument).
  std::string moduleOf(const std::string& word) const;
  pid_t pid() const { return server_->pid(); }

 private:
  std::filesystem::path folder_;
  std::unique_ptr<BackgroundProgram> server_;
};
