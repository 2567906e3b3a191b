// running-apps, browsers, opener, chrome-profiles and chrome-open through the built binary,
// with fixture desktop entries, icons and state files in throw-away folders.
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Status) clash with gtest's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <glib.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>

#include "support/BackgroundProgram.h"
#include "support/Eventually.h"
#include "support/Files.h"
#include "support/ReplyOf.h"
#include "support/Run.h"
#include "support/Scratch.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

void requireDisplay() {
  ASSERT_NE(std::getenv("VESK_TEST_SERVICES"), nullptr)
      << "the test display is not running: run through tests/services/with-services.sh";
  ASSERT_NE(std::getenv("DISPLAY"), nullptr);
}

constexpr const char* ICON_SVG =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16">)"
    R"(<rect width="16" height="8" fill="#3070c0"/></svg>)";

std::string desktopEntry(const std::string& name, const std::string& exec,
                         const std::string& icon, const std::string& extra = "") {
  return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\nIcon=" + icon +
         "\n" + extra;
}

// The width, height, bit depth and colour type of a PNG data URL's image, or {} when the
// text is not one.
std::vector<int> pngShape(const std::string& dataUrl) {
  const std::string prefix = "data:image/png;base64,";
  if (dataUrl.rfind(prefix, 0) != 0) return {};
  gsize length = 0;
  guchar* raw = g_base64_decode(dataUrl.c_str() + prefix.size(), &length);
  std::string png(reinterpret_cast<char*>(raw), length);
  g_free(raw);
  if (png.size() < 26 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {};
  auto word = [&](std::size_t at) {
    return static_cast<int>(static_cast<unsigned char>(png[at]) << 24 |
                            static_cast<unsigned char>(png[at + 1]) << 16 |
                            static_cast<unsigned char>(png[at + 2]) << 8 |
                            static_cast<unsigned char>(png[at + 3]));
  };
  return {word(16), word(20), png[24], png[25]};
}

const std::vector<int> RGBA_64{64, 64, 8, 6};

json jsonReply(const std::vector<std::string>& args, const RunOptions& options) {
  return json::parse(replyOf(runVesk(args, options)), nullptr, false);
}

const json* named(const json& list, const std::string& key, const std::string& value) {
  for (const auto& item : list) {
    if (item.value(key, "") == value) return &item;
  }
  return nullptr;
}

// Desktop entries, icons and MIME associations in a scratch data folder, plus a second data
// folder outside the accepted ones.
class DesktopFixture {
 public:
  DesktopFixture() {
    writeFile(icon(), ICON_SVG);
    writeFile(scratch.dataHome() / "icons/hicolor/scalable/apps/vesk-themed.svg", ICON_SVG);
    options.env = scratch.env();
    options.env["XDG_DATA_DIRS"] = outside().string() + ":/usr/local/share:/usr/share";
  }
  fs::path apps() const { return scratch.dataHome() / "applications"; }
  fs::path outside() const { return scratch.root() / "elsewhere"; }
  fs::path icon() const { return scratch.root() / "icon.svg"; }

  Scratch scratch;
  RunOptions options;
};

// Polls the reply of a command until the test holds or about 10 s have passed.
template <class Test>
json waitFor(const std::vector<std::string>& args, const RunOptions& options, Test test) {
  json last;
  eventually([&] { return test(last = jsonReply(args, options)); }, std::chrono::seconds(10),
             std::chrono::milliseconds(100));
  return last;
}

// Minimises every window of the process, as a user would.
void minimiseWindowsOf(pid_t pid) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  Atom clientList = XInternAtom(display, "_NET_CLIENT_LIST", False);
  Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(display, DefaultRootWindow(display), clientList, 0, 4096, False, XA_WINDOW,
                     &type, &format, &count, &after, &data);
  auto* windows = reinterpret_cast<unsigned long*>(data);
  for (unsigned long i = 0; i < count; ++i) {
    unsigned char* owner = nullptr;
    unsigned long n = 0;
    XGetWindowProperty(display, windows[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &n,
                       &after, &owner);
    if (owner != nullptr && n == 1 && *reinterpret_cast<unsigned long*>(owner) ==
                                          static_cast<unsigned long>(pid)) {
      XIconifyWindow(display, windows[i], DefaultScreen(display));
    }
    if (owner != nullptr) XFree(owner);
  }
  if (data != nullptr) XFree(data);
  XSync(display, False);
  XCloseDisplay(display);
}

}  // namespace

TEST(AppsE2e, RunningAppsListsAGtkWindowByItsEntryOrClassAndSeesItMinimised) {
  requireDisplay();
  DesktopFixture fixture;
  // A window class of this test's own, so other tests' dialogs on the display do not count.
  std::string windowClass = "VeskFixture" + std::to_string(getpid());
  RunOptions noBridge;
  noBridge.env["NO_AT_BRIDGE"] = "1";
  const std::vector<std::string> args{"--info", "--text=running-apps", "--class=" + windowClass};
  std::optional<BackgroundProgram> dialog(std::in_place, "zenity", args, noBridge);
  // No entry claims the window yet: it goes by its window class and its own icon.
  json unclaimed = waitFor({"running-apps"}, fixture.options,
                           [&](const json& r) { return named(r["apps"], "name", windowClass); });
  const json* bare = named(unclaimed["apps"], "name", windowClass);
  ASSERT_NE(bare, nullptr) << unclaimed.dump();
  EXPECT_EQ(pngShape((*bare)["icon"]), RGBA_64);

  writeFile(fixture.apps() / "vesk-dialog.desktop",
        desktopEntry("Fixture Dialog", "zenity --info", fixture.icon().string(),
                     "StartupWMClass=" + windowClass + "\n"));
  auto hasDialog = [](const json& r) { return named(r["apps"], "name", "Fixture Dialog"); };
  json shown = waitFor({"running-apps"}, fixture.options, hasDialog);
  const json* app = named(shown["apps"], "name", "Fixture Dialog");
  ASSERT_NE(app, nullptr) << shown.dump();
  EXPECT_EQ((*app)["hidden"], false);
  EXPECT_EQ(pngShape((*app)["icon"]), RGBA_64);

  minimiseWindowsOf(dialog->pid());
  json hidden = waitFor({"running-apps"}, fixture.options, [](const json& r) {
    const json* a = named(r["apps"], "name", "Fixture Dialog");
    return a != nullptr && (*a)["hidden"] == true;
  });
  app = named(hidden["apps"], "name", "Fixture Dialog");
  ASSERT_NE(app, nullptr);
  EXPECT_EQ((*app)["hidden"], true);

  dialog.reset();
  json gone = waitFor({"running-apps"}, fixture.options,
                      [&](const json& r) { return !hasDialog(r); });
  EXPECT_EQ(named(gone["apps"], "name", "Fixture Dialog"), nullptr);
}

TEST(AppsE2e, RunningAppsWithoutADisplayIsEmpty) {
  RunOptions options;
  options.env["DISPLAY"] = std::nullopt;
  RunResult r = runVesk({"running-apps"}, options);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, R"({"apps":[]})");
}

TEST(AppsE2e, BrowsersAreTheHttpsHandlersInAcceptedFoldersAndTheDefaultMayLieElsewhere) {
  DesktopFixture fixture;
  std::string https = "MimeType=x-scheme-handler/http;x-scheme-handler/https;\n";
  writeFile(fixture.apps() / "vesk-browser.desktop",
        desktopEntry("Fixture Browser", "true %U", fixture.icon().string(), https));
  writeFile(fixture.apps() / "vesk-themed-browser.desktop",
        desktopEntry("Themed Browser", "true %U", "vesk-themed", https));
  writeFile(fixture.apps() / "mimeinfo.cache",
        "[MIME Cache]\nx-scheme-handler/https=vesk-browser.desktop;vesk-themed-browser.desktop;\n");
  writeFile(fixture.outside() / "applications/vesk-portable.desktop",
        desktopEntry("Portable Browser", "true %U", "no-such-icon-anywhere", https));
  writeFile(fixture.outside() / "applications/mimeinfo.cache",
        "[MIME Cache]\nx-scheme-handler/https=vesk-portable.desktop;\n");

  json first = jsonReply({"browsers"}, fixture.options);
  EXPECT_EQ(first["macDefault"], (fixture.apps() / "vesk-browser.desktop").string());
  const json* browser = named(first["browsers"], "name", "vesk-browser");
  ASSERT_NE(browser, nullptr) << first.dump();
  EXPECT_EQ((*browser)["path"], (fixture.apps() / "vesk-browser.desktop").string());
  EXPECT_EQ(pngShape((*browser)["icon"]), RGBA_64);
  const json* themed = named(first["browsers"], "name", "vesk-themed-browser");
  ASSERT_NE(themed, nullptr);
  EXPECT_EQ(pngShape((*themed)["icon"]), RGBA_64);
  EXPECT_EQ(named(first["browsers"], "name", "vesk-portable"), nullptr);

  writeFile(fixture.scratch.configHome() / "mimeapps.list",
        "[Default Applications]\nx-scheme-handler/https=vesk-portable.desktop\n");
  json second = jsonReply({"browsers"}, fixture.options);
  EXPECT_EQ(second["macDefault"],
            (fixture.outside() / "applications/vesk-portable.desktop").string());
  EXPECT_EQ(named(second["browsers"], "name", "vesk-portable"), nullptr);
}

TEST(AppsE2e, OpenerFindsTheHandlerOfASchemeOrAFileTypeOrNull) {
  DesktopFixture fixture;
  writeFile(fixture.apps() / "vesk-mail.desktop",
        desktopEntry("Fixture Mail", "true %u", "", "MimeType=x-scheme-handler/mailto;\n"));
  writeFile(fixture.apps() / "vesk-text.desktop",
        desktopEntry("Fixture Text", "true %f", "", "MimeType=text/plain;\n"));
  writeFile(fixture.apps() / "mimeinfo.cache",
        "[MIME Cache]\nx-scheme-handler/mailto=vesk-mail.desktop;\n"
        "text/plain=vesk-text.desktop;\n");
  fs::path note = fixture.scratch.root() / "note.txt";
  writeFile(note, "plain words\n");

  EXPECT_EQ(jsonReply({"opener", "mailto:someone@example.org"}, fixture.options),
            json({{"app", (fixture.apps() / "vesk-mail.desktop").string()}}));
  EXPECT_EQ(jsonReply({"opener", "file://" + note.string()}, fixture.options),
            json({{"app", (fixture.apps() / "vesk-text.desktop").string()}}));
  RunResult none = runVesk({"opener", "vesk-no-handler:thing"}, fixture.options);
  EXPECT_EQ(none.out, R"({"app":null})");
  EXPECT_EQ(none.status, 0);
}

TEST(AppsE2e, ChromeProfilesFromTheStateFileOrNone) {
  Scratch scratch;
  RunOptions options;
  options.env = scratch.env();
  RunResult absent = runVesk({"chrome-profiles"}, options);
  EXPECT_EQ(absent.out, "[]");
  EXPECT_EQ(absent.status, 0);

  writeFile(scratch.home() / ".config/google-chrome/Local State",
        R"({"profile":{"info_cache":{)"
        R"("Default":{"user_name":"a@example.org","active_time":1733700000.25},)"
        R"("Profile 2":{"user_name":"","active_time":5},)"
        R"("Profile 3":{"user_name":"b@example.org"}}}})");
  json profiles = jsonReply({"chrome-profiles", "ignored"}, options);
  ASSERT_EQ(profiles.size(), 2u);
  const json* main = named(profiles, "dir", "Default");
  ASSERT_NE(main, nullptr);
  EXPECT_EQ((*main)["email"], "a@example.org");
  EXPECT_DOUBLE_EQ((*main)["activeTime"].get<double>(), 1733700000.25);
  EXPECT_EQ((*named(profiles, "dir", "Profile 3"))["activeTime"], 0);
}

TEST(AppsE2e, ChromeOpenStartsTheEntryWithoutAShellAndReportsFailures) {
  Scratch scratch;
  RunOptions options;
  options.env = scratch.env();
  fs::path record = scratch.root() / "args";
  std::string partial = record.string() + ".tmp";
  writeFile(scratch.root() / "record.sh", "printf '%s\\n' \"$@\" > '" + partial + "'\n" +
                                          "mv '" + partial + "' '" + record.string() + "'\n");
  fs::path entry = scratch.dataHome() / "applications/vesk-chrome.desktop";
  // Besides the URL codes, the entry's file (%k), icon (%i), name (%c) and a literal "%".
  writeFile(entry, desktopEntry("Fixture Chrome",
                            "/bin/sh " + (scratch.root() / "record.sh").string() +
                                " %k %i %c 100%% %U",
                            "vesk-icon"));
  std::string url = "https://example.org/a?b=1&c=$(touch pwned);d";
  // Neither the profile nor the URL meets a shell, whatever quoting and separators they hold.
  std::string profile = "Work 'x' \"y\" `touch pwned` $HOME; | & > pwned";
  RunResult opened = runVesk({"chrome-open", entry.string(), profile, url}, options);
  EXPECT_EQ(opened.status, 0) << opened.err;
  EXPECT_EQ(opened.out, R"({"opened":true})");
  eventually([&] { return fs::exists(record); });
  std::ifstream recorded(record);
  std::string text((std::istreambuf_iterator<char>(recorded)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, entry.string() + "\n--icon\nvesk-icon\nFixture Chrome\n100%\n"
                  "--profile-directory=" + profile + "\n" + url + "\n");
  EXPECT_FALSE(fs::exists(fs::current_path() / "pwned"));

  fs::path failing = scratch.dataHome() / "applications/vesk-failing.desktop";
  writeFile(failing, desktopEntry("Failing", "/bin/false %U", ""));
  RunResult refused = runVesk({"chrome-open", failing.string(), "Default", "https://a.example"},
                              options);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "Chrome didn't open.");
  EXPECT_EQ(refused.out, "");

  fs::path missing = scratch.dataHome() / "applications/vesk-missing.desktop";
  writeFile(missing, desktopEntry("Missing", "/nonexistent/vesk-browser %U", ""));
  for (const fs::path& app : {missing, scratch.root() / "no-entry.desktop"}) {
    RunResult unstarted = runVesk({"chrome-open", app.string(), "Default", "https://a.example"},
                                  options);
    EXPECT_EQ(unstarted.status, 1);
    EXPECT_EQ(unstarted.err.rfind("Couldn't open Chrome: ", 0), 0u) << unstarted.err;
  }
}
