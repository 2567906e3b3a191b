// listen hold-key on the test X display with a real GTK text field (zenity): the time from the
// hold key's release to "hold-up", from a "land" request to the text in the field, and from
// there to the user's clipboard back. Each is set beside a peer doing the same on the same
// display in the same run: the display's own delivery of the release to a bare XInput2
// watcher; xclip with xdotool's Control+V; the lander's own wait. Run by `make bench`.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <atspi/atspi.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/LandingTimes.h"
#include "platform/linux/x11/X11Clipboard.h"

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;
constexpr int ROUNDS = 7;

pid_t spawn(const std::vector<std::string>& args, int in, int out) {
  pid_t pid = fork();
  if (pid == 0) {
    if (in >= 0) dup2(in, 0);
    if (out >= 0) dup2(out, 1);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    if (out < 0) dup2(null, 1);
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

// The bridge with standard input held open and the time each line arrived.
class Bridge {
 public:
  Bridge() {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC)) std::exit(1);
    pid_ = spawn({VESK_BINARY, "listen", "hold-key", "control"}, in[0], out[1]);
    close(in[0]);
    close(out[1]);
    in_ = in[1];
    reader_ = std::thread([this, fd = out[0]] {
      std::string pending;
      char buffer[4096];
      for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
        const auto now = Clock::now();
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
          std::lock_guard guard(mutex_);
          seen_.emplace_back(now, pending.substr(0, end));
          pending.erase(0, end + 1);
        }
      }
    });
  }
  ~Bridge() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    close(in_);
    reader_.join();
  }
  void send(const std::string& line) {
    [[maybe_unused]] auto written = write(in_, (line + "\n").data(), line.size() + 1);
  }
  // When the next line of the kind arrived (after the ones already taken), within 5 s.
  std::optional<Clock::time_point> next(const std::string& kind) {
    const std::string prefix = "{\"kind\":\"" + kind + "\"";
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < deadline) {
      {
        std::lock_guard guard(mutex_);
        for (auto at = seen_.begin(); at != seen_.end(); ++at) {
          if (at->second.rfind(prefix, 0) == 0) {
            auto when = at->first;
            seen_.erase(seen_.begin(), at + 1);
            return when;
          }
        }
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return std::nullopt;
  }

 private:
  pid_t pid_;
  int in_;
  std::thread reader_;
  std::mutex mutex_;
  std::vector<std::pair<Clock::time_point, std::string>> seen_;
};

// The peer of the release: a bare XInput2 watcher of raw key releases on its own connection.
class ReleaseWatcher {
 public:
  ReleaseWatcher() : display_(XOpenDisplay(nullptr)) {
    int event = 0, error = 0, major = 2, minor = 0;
    XQueryExtension(display_, "XInputExtension", &opcode_, &event, &error);
    XIQueryVersion(display_, &major, &minor);
    unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(mask, XI_RawKeyRelease);
    XIEventMask events{XIAllMasterDevices, sizeof mask, mask};
    XISelectEvents(display_, DefaultRootWindow(display_), &events, 1);
    XSync(display_, False);
    thread_ = std::thread([this] {
      pollfd fd{ConnectionNumber(display_), POLLIN, 0};
      while (!stop_) {
        if (XPending(display_) == 0) {
          poll(&fd, 1, 50);
          continue;
        }
        XEvent e;
        XNextEvent(display_, &e);
        if (e.xcookie.type == GenericEvent && e.xcookie.extension == opcode_) {
          std::lock_guard guard(mutex_);
          last_ = Clock::now();
        }
      }
    });
  }
  ~ReleaseWatcher() {
    stop_ = true;
    thread_.join();
    XCloseDisplay(display_);
  }
  std::optional<Clock::time_point> after(Clock::time_point from) {
    for (int i = 0; i < 1000; ++i) {
      {
        std::lock_guard guard(mutex_);
        if (last_ && *last_ >= from) return last_;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return std::nullopt;
  }

 private:
  Display* display_;
  int opcode_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::optional<Clock::time_point> last_;
};

// The text of the focused field of the application, through its accessibility interface.
std::string fieldText(long pid) {
  std::string text;
  AtspiAccessible* desktop = atspi_get_desktop(0);
  const int count = atspi_accessible_get_child_count(desktop, nullptr);
  for (int i = 0; i < count && text.empty(); ++i) {
    AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, nullptr);
    if (!app) continue;
    if (static_cast<long>(atspi_accessible_get_process_id(app, nullptr)) == pid) {
      std::function<void(AtspiAccessible*, int)> walk = [&](AtspiAccessible* node, int depth) {
        if (!text.empty() || depth > 30) return;
        const AtspiRole role = atspi_accessible_get_role(node, nullptr);
        AtspiText* field = role == ATSPI_ROLE_TEXT || role == ATSPI_ROLE_ENTRY
                               ? atspi_accessible_get_text_iface(node)
                               : nullptr;
        if (field) {
          gchar* all = atspi_text_get_text(field, 0, -1, nullptr);
          if (all) text = all;
          g_free(all);
          g_object_unref(field);
          if (!text.empty()) return;
        }
        const int children = atspi_accessible_get_child_count(node, nullptr);
        for (int c = 0; c < children; ++c) {
          AtspiAccessible* child = atspi_accessible_get_child_at_index(node, c, nullptr);
          if (!child) continue;
          walk(child, depth + 1);
          g_object_unref(child);
        }
      };
      walk(app, 0);
    }
    g_object_unref(app);
  }
  g_object_unref(desktop);
  return text;
}

std::optional<Clock::time_point> whenFieldHas(long pid, const std::string& word) {
  const auto deadline = Clock::now() + std::chrono::seconds(3);
  while (Clock::now() < deadline) {
    if (fieldText(pid).find(word) != std::string::npos) return Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return std::nullopt;
}

double median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void key(Display* d, KeySym symbol, bool down) {
  XTestFakeKeyEvent(d, XKeysymToKeycode(d, symbol), down, CurrentTime);
  XSync(d, False);
}

const char* verdict(bool met) { return met ? "met" : "MISSED"; }

}  // namespace

int main() {
  if (!std::getenv("VESK_TEST_SERVICES")) {
    std::printf("the test services are not running: run through tests/services/with-services.sh\n");
    return 1;
  }
  std::system("busctl --user set-property org.a11y.Bus /org/a11y/bus org.a11y.Status IsEnabled b true");
  atspi_init();
  Display* d = XOpenDisplay(nullptr);
  const pid_t zenity = spawn({"zenity", "--entry", "--text", "Bench"}, -1, -1);
  for (int i = 0; i < 100 && fieldText(zenity).empty(); ++i) {
    // The field is found once its (empty) text can be asked; give it a character to show.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (i == 20) key(d, XK_x, true), key(d, XK_x, false);
  }
  Bridge bridge;
  ReleaseWatcher peer;
  X11Clipboard user;  // stands for the user's own clipboard owner
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  std::vector<double> ours, display, landing, xdotool, back;
  for (int round = 0; round < ROUNDS; ++round) {
    key(d, XK_Control_L, true);
    if (!bridge.next("hold-down")) {
      std::printf("round %d: no hold-down\n", round);
      return 1;
    }
    const auto released = Clock::now();
    key(d, XK_Control_L, false);
    auto up = bridge.next("hold-up");
    auto seen = peer.after(released);
    if (up && seen) {
      ours.push_back(Ms(*up - released).count());
      display.push_back(Ms(*seen - released).count());
    }

    user.clear();
    user.write(user.textFlavors("before"));
    const std::string word = "landed" + std::to_string(round);
    const auto asked = Clock::now();
    bridge.send("{\"land\":\" " + word + "\",\"app\":" + std::to_string(zenity) + "}");
    auto inField = whenFieldHas(zenity, word);
    if (inField) landing.push_back(Ms(*inField - asked).count());
    // The clipboard is the user's again about CLIPBOARD_BACK_SECONDS after the keystroke.
    const auto limit = Clock::now() + std::chrono::seconds(3);
    while (Clock::now() < limit && user.read("UTF8_STRING").value_or("") != "before") {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (inField) back.push_back(Ms(Clock::now() - *inField).count());
    bridge.next("landed");

    // The peer lands the same way with the desktop's own tools.
    const std::string peerWord = "peer" + std::to_string(round);
    const auto started = Clock::now();
    std::system(("printf ' " + peerWord + "' | xclip -selection clipboard && xdotool key ctrl+v").c_str());
    if (auto peerInField = whenFieldHas(zenity, peerWord)) {
      xdotool.push_back(Ms(*peerInField - started).count());
    }
  }
  kill(zenity, SIGTERM);
  waitpid(zenity, nullptr, 0);

  const double release = median(ours), delivery = median(display);
  const double land = median(landing), peerLand = median(xdotool), restore = median(back);
  const double backMs = CLIPBOARD_BACK_SECONDS * 1000;
  std::printf("release to \"hold-up\": %.1f ms (median of %zu; target at most 20 ms): %s\n",
              release, ours.size(), verdict(release >= 0 && release <= 20));
  std::printf("  the display's delivery of the release to a bare XInput2 watcher: %.1f ms; "
              "ours / that = %.1fx\n", delivery, delivery > 0 ? release / delivery : 0);
  std::printf("\"land\" to the text in the field: %.1f ms (median of %zu; target at most 150 ms): %s\n",
              land, landing.size(), verdict(land >= 0 && land <= 150));
  std::printf("  xclip and xdotool's Control+V, the same way: %.1f ms; ours / that = %.2fx\n",
              peerLand, peerLand > 0 ? land / peerLand : 0);
  std::printf("text in the field to the clipboard back: %.1f ms (median of %zu; target %.0f ms "
              "within 50 ms): %s\n", restore, back.size(), backMs,
              verdict(restore >= 0 && std::abs(restore - backMs) <= 50));
  const bool met = release >= 0 && release <= 20 && land >= 0 && land <= 150 && restore >= 0 &&
                   std::abs(restore - backMs) <= 50;
  std::printf("hold-key targets: %s\n", met ? "all met" : "some MISSED");
  return met ? 0 : 1;
}
