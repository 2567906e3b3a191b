// Permission statuses of the built binary against the real test services.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "support/Run.h"
#include "support/Scratch.h"
#include "support/Services.h"

namespace {

std::string statusOf(const std::vector<std::string>& args, const RunOptions& options = {}) {
  RunResult r = runVesk(args, options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  return r.out;
}

// A second sound server that only admits clients holding its cookie (or running as its user).
class GuardedSoundServer {
 public:
  explicit GuardedSoundServer(const Scratch& scratch) : dir_(scratch.root() / "guarded") {
    std::filesystem::create_directories(dir_);
    // Another user must reach the socket, so the folders on the way are open to everyone.
    using std::filesystem::perms;
    std::filesystem::permissions(scratch.root(), perms::owner_all | perms::group_read |
                                                     perms::group_exec | perms::others_read |
                                                     perms::others_exec);
    std::filesystem::permissions(dir_, std::filesystem::perms::all);
    std::ofstream(dir_ / "cookie") << std::string(256, 'k');
    std::ofstream(dir_ / "wrong") << std::string(256, 'w');
    std::filesystem::permissions(dir_ / "wrong", std::filesystem::perms::all);
    pid_ = fork();
    if (pid_ == 0) {
      std::string home = "HOME=" + dir_.string(), run = "XDG_RUNTIME_DIR=" + dir_.string();
      putenv(home.data());
      putenv(run.data());
      // Off the session bus: there it would find the test services' server and give way to it.
      unsetenv("DBUS_SESSION_BUS_ADDRESS");
      unsetenv("PULSE_SERVER");
      std::string native = "--load=module-native-protocol-unix auth-anonymous=0 socket=" +
                           socket() + " auth-cookie=" + (dir_ / "cookie").string();
      execlp("pulseaudio", "pulseaudio", "-n", "--daemonize=no", "--use-pid-file=no",
             "--exit-idle-time=-1", "--log-target=stderr", native.c_str(),
             "--load=module-null-sink sink_name=out", static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 100 && !std::filesystem::exists(socket()); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  ~GuardedSoundServer() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  std::string socket() const { return (dir_ / "sock").string(); }
  std::string wrongCookie() const { return (dir_ / "wrong").string(); }
  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
  pid_t pid_ = -1;
};

}  // namespace

TEST(PermissionsE2e, SoundServerWithMicrophoneAndMonitorGrantsBoth) {
  requireServices();
  EXPECT_EQ(statusOf({"permission", "microphone"}), R"({"status":"granted"})");
  EXPECT_EQ(statusOf({"permission-request", "microphone"}), R"({"status":"granted"})");
  EXPECT_EQ(statusOf({"permission", "system-audio"}), R"({"status":"granted"})");
  // Already granted: the request answers at once instead of waiting for a decision.
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(statusOf({"permission-request", "system-audio"}), R"({"status":"granted"})");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST(PermissionsE2e, NoSoundServerIsNotAsked) {
  requireServices();
  Scratch scratch;
  RunOptions options;
  options.env["PULSE_SERVER"] = "unix:" + (scratch.root() / "nobody-here").string();
  EXPECT_EQ(statusOf({"permission", "microphone"}, options), R"({"status":"not-asked"})");
  EXPECT_EQ(statusOf({"permission", "system-audio"}, options), R"({"status":"not-asked"})");
}

TEST(PermissionsE2e, ServerWithoutMicrophoneAndServerThatRefuses) {
  requireServices();
  Scratch scratch;
  GuardedSoundServer server(scratch);
  ASSERT_TRUE(std::filesystem::exists(server.socket())) << "the guarded sound server did not start";

  // As the server's own user we are let in: it has an output (so a monitor) but no microphone.
  RunOptions own;
  own.env["PULSE_SERVER"] = "unix:" + server.socket();
  EXPECT_EQ(statusOf({"permission", "microphone"}, own), R"({"status":"not-asked"})");
  EXPECT_EQ(statusOf({"permission", "system-audio"}, own), R"({"status":"granted"})");

  // As another user holding the wrong cookie we are turned away.
  auto binary = server.dir() / "vesk-native";
  std::filesystem::copy_file(VESK_BINARY, binary);
  std::filesystem::permissions(binary, std::filesystem::perms::all);
  // The binary finds its sound server module beside itself.
  auto module = server.dir() / "vesk-pulse.so";
  std::filesystem::copy_file(std::filesystem::path(VESK_BINARY).parent_path() / "vesk-pulse.so",
                             module);
  std::filesystem::permissions(module, std::filesystem::perms::all);
  RunOptions stranger = own;
  stranger.env["PULSE_COOKIE"] = server.wrongCookie();
  stranger.env["HOME"] = server.dir().string();
  for (const char* name : {"microphone", "system-audio"}) {
    RunResult r = runProgram("/usr/bin/setpriv",
                             {"--reuid=65534", "--regid=65534", "--clear-groups", binary.string(),
                              "permission", name},
                             stranger);
    EXPECT_EQ(r.out, R"({"status":"denied"})") << name << " " << r.err;
    EXPECT_EQ(r.status, 0);
  }
}

TEST(PermissionsE2e, AccessibilityFollowsTheDesktopSwitchAndTheDisplay) {
  requireServices();
  RunOptions noDisplay;
  noDisplay.env["DISPLAY"] = std::nullopt;
  EXPECT_EQ(statusOf({"permission-request", "accessibility"}, noDisplay),
            R"({"status":"not-asked"})");
  // The request switched assistive technologies on; with the display it is granted.
  EXPECT_EQ(statusOf({"permission", "accessibility"}), R"({"status":"granted"})");
  EXPECT_EQ(statusOf({"permission", "accessibility", "--no-launch"}), R"({"status":"granted"})");

  RunOptions noBus;
  noBus.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=/nonexistent/bus";
  EXPECT_EQ(statusOf({"permission", "accessibility"}, noBus), R"({"status":"not-asked"})");
}
