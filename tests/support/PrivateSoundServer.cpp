#include "support/PrivateSoundServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

PrivateSoundServer::PrivateSoundServer(const Scratch& scratch, const std::vector<std::string>& modules)
    : folder_(scratch.root() / "pulse") {
  std::filesystem::create_directories(folder_);
  std::vector<std::string> args{"-n",
                                "--daemonize=no",
                                "--use-pid-file=no",
                                "--exit-idle-time=-1",
                                "--log-target=stderr",
                                "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket()};
  for (const auto& module : modules) args.push_back("--load=" + module);
  RunOptions options;
  options.env = {{"HOME", folder_.string()},
                 {"XDG_RUNTIME_DIR", folder_.string()},
                 {"DBUS_SESSION_BUS_ADDRESS", std::nullopt},
                 {"PULSE_SERVER", std::nullopt}};
  server_ = std::make_unique<BackgroundProgram>("pulseaudio", args, options);
  for (int i = 0; i < 100 && !std::filesystem::exists(socket()); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(std::filesystem::exists(socket())) << "the private sound server did not start";
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
