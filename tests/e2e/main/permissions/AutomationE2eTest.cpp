// Automation permissions through the built binary against the test session bus.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>

#include "support/Run.h"
#include "support/Scratch.h"

namespace {

void requireBus() {
  ASSERT_NE(std::getenv("VESK_TEST_SERVICES"), nullptr)
      << "the test session bus is not running: run through tests/services/with-services.sh";
}

GVariant* callBus(GDBusConnection* bus, const char* method, GVariant* parameters) {
  return g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                     "org.freedesktop.DBus", method, parameters, nullptr,
                                     G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
}

// Holds a well-known name on the session bus while it lives, as a running application does.
class OwnedName {
 public:
  explicit OwnedName(const std::string& name)
      : bus_(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)), name_(name) {
    if (bus_ == nullptr) return;
    GVariant* reply = callBus(bus_, "RequestName", g_variant_new("(su)", name.c_str(), 4u));
    if (reply != nullptr) g_variant_unref(reply);
  }
  ~OwnedName() {
    if (bus_ == nullptr) return;
    GVariant* reply = callBus(bus_, "ReleaseName", g_variant_new("(s)", name_.c_str()));
    if (reply != nullptr) g_variant_unref(reply);
    g_object_unref(bus_);
  }
  OwnedName(const OwnedName&) = delete;
  OwnedName& operator=(const OwnedName&) = delete;

 private:
  GDBusConnection* bus_;
  std::string name_;
};

// Stops whatever process owns the name (something the test had started).
void stopOwnerOf(const std::string& name) {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  ASSERT_NE(bus, nullptr);
  GVariant* reply =
      callBus(bus, "GetConnectionUnixProcessID", g_variant_new("(s)", name.c_str()));
  if (reply != nullptr) {
    guint32 pid = 0;
    g_variant_get(reply, "(u)", &pid);
    if (pid > 1) kill(static_cast<pid_t>(pid), SIGTERM);
    g_variant_unref(reply);
  }
  g_object_unref(bus);
}

}  // namespace

TEST(AutomationE2e, AbsentTargetWithNoLaunchIsNotRunning) {
  requireBus();
  RunResult r = runVesk({"permission", "mail", "--no-launch"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "org.gnome.Geary isn\u2019t running");
  EXPECT_EQ(r.out, "");
}

TEST(AutomationE2e, ARunningTargetIsGranted) {
  requireBus();
  OwnedName music("org.gnome.Music");
  using Args = std::vector<std::string>;
  for (const Args& args : {Args{"permission", "music", "--no-launch"},
                           Args{"permission-request", "music"}}) {
    RunResult r = runVesk(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, R"({"status":"granted"})");
  }
  EXPECT_EQ(runVesk({"permission", "other-apps", "--no-launch"}).out, R"({"status":"granted"})");
}

TEST(AutomationE2e, ATargetThatIsNotRunningIsLaunchedFromItsEntry) {
  requireBus();
  Scratch scratch;
  std::filesystem::create_directories(scratch.dataHome() / "applications");
  std::ofstream(scratch.dataHome() / "applications/org.gnome.Notes.desktop")
      << "[Desktop Entry]\nType=Application\nName=Notes\n"
         "Exec=dbus-test-tool black-hole --session --name=org.gnome.Notes\n";
  RunOptions options;
  options.env = scratch.env();
  RunResult r = runVesk({"permission", "notes"}, options);
  stopOwnerOf("org.gnome.Notes");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, R"({"status":"granted"})");
}
