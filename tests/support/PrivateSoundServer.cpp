#include "support/PrivateSoundServer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/Eventually.h"

PrivateSoundServer::PrivateSoundServer(const Scratch& scratch, const SoundServerSetup& setup)
    : folder_(scratch.root() / setup.folder) {
  std::filesystem::create_directories(folder_);
  std::vector<std::string> args{"-n",
                                "--daemonize=no",
                                "--use-pid-file=no",
                                "--exit-idle-time=-1",
                                "--log-target=stderr",
                                "--load=module-native-protocol-unix " + setup.protocol +
                                    " socket=" + socket()};
  for (const auto& module : setup.modules) args.push_back("--load=" + module);
  RunOptions options;
  // Off the session bus: there it would find the test services' server and give way to it.
  options.env = {{"HOME", folder_.string()},
                 {"XDG_RUNTIME_DIR", folder_.string()},
                 {"DBUS_SESSION_BUS_ADDRESS", std::nullopt},
                 {"PULSE_SERVER", std::nullopt}};
  server_ = std::make_unique<BackgroundProgram>("pulseaudio", args, options);
  EXPECT_TRUE(eventually([this] { return std::filesystem::exists(socket()); }))
      << "the private sound server did not start";
  if (!setup.defaultSource.empty()) {
    RunResult r = pactl({"set-default-source", setup.defaultSource});
    EXPECT_EQ(r.status, 0) << r.err;
  }
}

RunOptions PrivateSoundServer::clientOptions() const {
  RunOptions options;
  options.env["PULSE_SERVER"] = address();
  return options;
}

RunResult PrivateSoundServer::pactl(const std::vector<std::string>& args) const {
  return runProgram("/usr/bin/pactl", args, clientOptions());
}

void PrivateSoundServer::setDefaultSink(const std::string& name) const {
  RunResult r = pactl({"set-default-sink", name});
  ASSERT_EQ(r.status, 0) << r.err;
}

std::string PrivateSoundServer::moduleOf(const std::string& word) const {
  std::istringstream rows(pactl({"list", "short", "modules"}).out);
  for (std::string row; std::getline(rows, row);) {
    if (row.find(word) != std::string::npos) return row.substr(0, row.find('\t'));
  }
  return "";
}
