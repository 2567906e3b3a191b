// Permission statuses of the built binary against the real test services.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "support/PrivateSoundServer.h"
#include "support/ReplyOf.h"
#include "support/Run.h"
#include "support/Scratch.h"
#include "support/Services.h"

namespace {

// A second sound server that only admits clients holding its cookie (or running as its user).
// Another user must reach its socket, so the folders on the way are open to everyone.
PrivateSoundServer guardedSoundServer(const Scratch& scratch) {
  const auto folder = scratch.root() / "guarded";
  std::filesystem::create_directories(folder);
  using std::filesystem::perms;
  std::filesystem::permissions(scratch.root(), perms::owner_all | perms::group_read |
                                                   perms::group_exec | perms::others_read |
                                                   perms::others_exec);
  std::filesystem::permissions(folder, perms::all);
  std::ofstream(folder / "cookie") << std::string(256, 'k');
  std::ofstream(folder / "wrong") << std::string(256, 'w');
  std::filesystem::permissions(folder / "wrong", perms::all);
  return PrivateSoundServer(scratch, {.modules = {"module-null-sink sink_name=out"},
                                      .protocol = "auth-anonymous=0 auth-cookie=" +
                                                  (folder / "cookie").string(),
                                      .folder = "guarded"});
}

}  // namespace

TEST(PermissionsE2e, SoundServerWithMicrophoneAndMonitorGrantsBoth) {
  requireServices();
  EXPECT_EQ(replyOf(runVesk({"permission", "microphone"})), R"({"status":"granted"})");
  EXPECT_EQ(replyOf(runVesk({"permission-request", "microphone"})), R"({"status":"granted"})");
  EXPECT_EQ(replyOf(runVesk({"permission", "system-audio"})), R"({"status":"granted"})");
  // Already granted: the request answers at once instead of waiting for a decision.
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(replyOf(runVesk({"permission-request", "system-audio"})), R"({"status":"granted"})");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST(PermissionsE2e, NoSoundServerIsNotAsked) {
  requireServices();
  Scratch scratch;
  RunOptions options;
  options.env["PULSE_SERVER"] = "unix:" + (scratch.root() / "nobody-here").string();
  EXPECT_EQ(replyOf(runVesk({"permission", "microphone"}, options)), R"({"status":"not-asked"})");
  EXPECT_EQ(replyOf(runVesk({"permission", "system-audio"}, options)), R"({"status":"not-asked"})");
}

TEST(PermissionsE2e, ServerWithoutMicrophoneAndServerThatRefuses) {
  requireServices();
  Scratch scratch;
  PrivateSoundServer server = guardedSoundServer(scratch);
  ASSERT_TRUE(std::filesystem::exists(server.socket())) << "the guarded sound server did not start";

  // As the server's own user we are let in: it has an output (so a monitor) but no microphone.
  RunOptions own = server.clientOptions();
  EXPECT_EQ(replyOf(runVesk({"permission", "microphone"}, own)), R"({"status":"not-asked"})");
  EXPECT_EQ(replyOf(runVesk({"permission", "system-audio"}, own)), R"({"status":"granted"})");

  // As another user holding the wrong cookie we are turned away.
  auto binary = server.folder() / "vesk-native";
  std::filesystem::copy_file(VESK_BINARY, binary);
  std::filesystem::permissions(binary, std::filesystem::perms::all);
  // The binary finds its sound server module beside itself.
  auto module = server.folder() / "vesk-pulse.so";
  std::filesystem::copy_file(std::filesystem::path(VESK_BINARY).parent_path() / "vesk-pulse.so",
                             module);
  std::filesystem::permissions(module, std::filesystem::perms::all);
  RunOptions stranger = own;
  stranger.env["PULSE_COOKIE"] = (server.folder() / "wrong").string();
  stranger.env["HOME"] = server.folder().string();
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
  EXPECT_EQ(replyOf(runVesk({"permission-request", "accessibility"}, noDisplay)),
            R"({"status":"not-asked"})");
  // The request switched assistive technologies on; with the display it is granted.
  EXPECT_EQ(replyOf(runVesk({"permission", "accessibility"})), R"({"status":"granted"})");
  EXPECT_EQ(replyOf(runVesk({"permission", "accessibility", "--no-launch"})),
            R"({"status":"granted"})");

  RunOptions noBus;
  noBus.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=/nonexistent/bus";
  EXPECT_EQ(replyOf(runVesk({"permission", "accessibility"}, noBus)), R"({"status":"not-asked"})");
}
