#include "platform/linux/gio/KWinWindowList.h"

#include <glib/gstdio.h>
#include <unistd.h>

#include <atomic>
#include <nlohmann/json.hpp>

#include "platform/linux/ProcessFacts.h"
#include "platform/linux/gio/GioHandles.h"
#include "platform/linux/glib/OwnContext.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* KWIN = "org.kde.KWin";
constexpr const char* SCRIPTING = "org.kde.kwin.Scripting";
constexpr const char* ANSWER_INTERFACE = "vesk.KWinWindows";
// Unloading comes after the answer, or after the time ran out: it has a limit of its own.
constexpr int UNLOAD_LIMIT_MS = 500;

constexpr const char* ANSWER_XML = R"(<node><interface name="vesk.KWinWindows">
  <method name="Answer"><arg type="s" name="windows" direction="in"/></method>
</interface></node>)";

// KWin 5 hands its byte-array properties to scripts as ArrayBuffers, KWin 6 as strings.
// KWin 6 has activeWindow and windowList(), KWin 5 activeClient and clientList(). Scripts reach
// unique bus names only, so the answer goes to this process's unique name.
constexpr const char* SCRIPT = R"((function () {
  function text(value) {
    if (value === undefined || value === null) return "";
    if (typeof value === "string") return value;
    if (value instanceof ArrayBuffer) return String.fromCharCode.apply(null, new Uint8Array(value));
    return String(value);
  }
  var active = workspace.activeWindow !== undefined ? workspace.activeWindow
                                                    : workspace.activeClient;
  var all = workspace.windowList !== undefined ? workspace.windowList() : workspace.clientList();
  var windows = [];
  for (var i = 0; i < all.length; ++i) {
    var w = all[i];
    if (!w.normalWindow || w.skipTaskbar) continue;
    windows.push({pid: w.pid, resourceClass: text(w.resourceClass),
                  resourceName: text(w.resourceName), desktopFileName: text(w.desktopFileName),
                  minimized: !!w.minimized, active: w === active});
  }
  callDBus(SERVICE, PATH, INTERFACE, "Answer", JSON.stringify(windows));
})();
)";

int msLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// A method call with its reply, or none when it failed or the time is up.
GVariantPtr call(GDBusConnection* bus, const char* destination, const std::string& path,
                 const char* interface, const char* method, GVariant* parameters,
                 const GVariantType* replyType, int limitMs) {
  if (limitMs <= 0) {
    if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
    return nullptr;
  }
  GError* raw = nullptr;
  GVariantPtr reply(g_dbus_connection_call_sync(bus, destination, path.c_str(), interface,
                                                method, parameters, replyType,
                                                G_DBUS_CALL_FLAGS_NONE, limitMs, nullptr, &raw));
  GErrorPtr error(raw);
  return reply;
}

// The script in a file of its own, which KWin reads; removed when the question ends.
class ScriptFile {
 public:
  explicit ScriptFile(const std::string& text) {
    GError* raw = nullptr;
    gchar* path = nullptr;
    const int fd = g_file_open_tmp("vesk-kwin-XXXXXX.js", &path, &raw);
    GErrorPtr error(raw);
    GMemoryPtr<gchar> owned(path);
    if (fd < 0) return;
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    path_ = path;
    if (!written) path_.clear();
  }
  ~ScriptFile() {
    if (!path_.empty()) g_unlink(path_.c_str());
  }
  ScriptFile(const ScriptFile&) = delete;
  ScriptFile& operator=(const ScriptFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void onAnswer(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
              GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
  auto* answer = static_cast<std::optional<std::string>*>(data);
  if (g_strcmp0(method, "Answer") == 0 && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(s)"))) {
    const gchar* text = nullptr;
    g_variant_get(parameters, "(&s)", &text);
    try {
      *answer = text;
    } catch (...) {
      // Out of memory: no answer.
    }
  }
  g_dbus_method_invocation_return_value(invocation, nullptr);
}

// The answer object, exported while the question lasts.
class AnswerObject {
 public:
  AnswerObject(GDBusConnection* bus, const std::string& path, std::optional<std::string>* answer)
      : bus_(bus) {
    GError* raw = nullptr;
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(ANSWER_XML, &raw);
    GErrorPtr error(raw);
    if (!node) return;
    static const GDBusInterfaceVTable vtable = {onAnswer, nullptr, nullptr, {}};
    id_ = g_dbus_connection_register_object(bus, path.c_str(), node->interfaces[0], &vtable,
                                            answer, nullptr, nullptr);
    g_dbus_node_info_unref(node);
  }
  ~AnswerObject() {
    if (id_ != 0) g_dbus_connection_unregister_object(bus_, id_);
  }
  AnswerObject(const AnswerObject&) = delete;
  AnswerObject& operator=(const AnswerObject&) = delete;
  explicit operator bool() const { return id_ != 0; }

 private:
  GDBusConnection* bus_;
  guint id_ = 0;
};

std::string scriptFor(const std::string& service, const std::string& path) {
  const std::string prelude = "var SERVICE = " + nlohmann::json(service).dump() +
                              ", PATH = " + nlohmann::json(path).dump() + ", INTERFACE = " +
                              nlohmann::json(ANSWER_INTERFACE).dump() + ";\n";
  return prelude + SCRIPT;
}

std::string textAt(const nlohmann::json& item, const char* key) {
  auto found = item.find(key);
  return found != item.end() && found->is_string() ? found->get<std::string>() : "";
}

std::atomic<unsigned> questions{0};

}  // namespace

std::optional<std::vector<KWinWindowList::Listed>> KWinWindowList::parseAnswer(
    const std::string& json) {
  auto all = nlohmann::json::parse(json, nullptr, false);
  if (!all.is_array()) return std::nullopt;
  std::vector<Listed> windows;
  for (const auto& item : all) {
    if (!item.is_object()) continue;
    Listed listed;
    auto pid = item.find("pid");
    if (pid != item.end() && pid->is_number_integer() && pid->get<long>() > 0) {
      listed.window.pid = pid->get<long>();
    }
    listed.window.wmClass = textAt(item, "resourceClass");
    listed.window.wmInstance = textAt(item, "resourceName");
    listed.window.gtkAppId = textAt(item, "desktopFileName");
    listed.window.hidden = item.value("minimized", false);
    listed.active = item.value("active", false);
    windows.push_back(std::move(listed));
  }
  return windows;
}

bool KWinWindowList::available() {
  auto bus = sessionBus();
  if (!bus) return false;
  auto reply = call(bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                    "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", KWIN),
                    G_VARIANT_TYPE("(b)"), static_cast<int>(limit_.count()));
  if (!reply) return false;
  gboolean owned = FALSE;
  g_variant_get(reply.get(), "(b)", &owned);
  return owned != FALSE;
}

std::optional<std::vector<KWinWindowList::Listed>> KWinWindowList::ask() {
  const auto deadline = Clock::now() + limit_;
  auto bus = sessionBus();
  if (!bus) return std::nullopt;
  const std::string question = std::to_string(getpid()) + "_" + std::to_string(++questions);
  const std::string objectPath = "/vesk/KWinWindows/q" + question;
  const std::string plugin = "vesk-windows-" + question;
  const gchar* self = g_dbus_connection_get_unique_name(bus.get());
  if (!self) return std::nullopt;
  OwnContext context;
  std::optional<std::string> answer;
  AnswerObject object(bus.get(), objectPath, &answer);
  ScriptFile script(scriptFor(self, objectPath));
  if (!object || script.path().empty()) return std::nullopt;
  auto loaded = call(bus.get(), KWIN, "/Scripting", SCRIPTING, "loadScript",
                     g_variant_new("(ss)", script.path().c_str(), plugin.c_str()),
                     G_VARIANT_TYPE("(i)"), msLeft(deadline));
  if (!loaded) return std::nullopt;
  gint32 id = -1;
  g_variant_get(loaded.get(), "(i)", &id);
  if (id >= 0) {
    // KWin 6 names the script's object /Scripting/Script<id>, KWin 5 /<id>.
    const auto number = std::to_string(id);
    if (!call(bus.get(), KWIN, "/Scripting/Script" + number, "org.kde.kwin.Script", "run",
              nullptr, nullptr, msLeft(deadline))) {
      call(bus.get(), KWIN, "/" + number, "org.kde.kwin.Script", "run", nullptr, nullptr,
           msLeft(deadline));
    }
    context.runUntil([&] { return answer.has_value(); }, deadline);
  }
  call(bus.get(), KWIN, "/Scripting", SCRIPTING, "unloadScript",
       g_variant_new("(s)", plugin.c_str()), nullptr, UNLOAD_LIMIT_MS);
  if (!answer) return std::nullopt;
  return parseAnswer(*answer);
}

std::vector<AppWindow> KWinWindowList::appWindows() {
  std::vector<AppWindow> windows;
  auto listed = ask();
  if (!listed) return windows;
  for (auto& each : *listed) {
    if (each.window.pid > 0) {
      each.window.executable = executableOf(each.window.pid);
      each.window.launchedEntry = launchedEntryOf(each.window.pid);
    }
    windows.push_back(std::move(each.window));
  }
  return windows;
}

std::optional<AppWindow> KWinWindowList::activeWindow() {
  auto listed = ask();
  if (!listed) return std::nullopt;
  for (auto& each : *listed) {
    if (!each.active) continue;
    if (each.window.pid > 0) {
      each.window.executable = executableOf(each.window.pid);
      each.window.launchedEntry = launchedEntryOf(each.window.pid);
    }
    return std::move(each.window);
  }
  return std::nullopt;
}
