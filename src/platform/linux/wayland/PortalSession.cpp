#include "platform/linux/wayland/PortalSession.h"

#include <unistd.h>

#include <atomic>
#include <optional>

namespace {

constexpr const char* PORTAL = "org.freedesktop.portal.Desktop";
constexpr const char* PORTAL_PATH = "/org/freedesktop/portal/desktop";
constexpr const char* REMOTE_DESKTOP = "org.freedesktop.portal.RemoteDesktop";
constexpr const char* REQUEST = "org.freedesktop.portal.Request";
constexpr const char* SESSION_INTERFACE = "org.freedesktop.portal.Session";

constexpr guint32 DEVICE_KEYBOARD = 1;
constexpr guint32 PERSIST_WHILE_RUNNING = 1;
constexpr guint32 RESPONSE_OK = 0;
// The first version whose sessions can be restored without asking again.
constexpr guint32 RESTORABLE_VERSION = 2;

// A token no other request of this process has used; it names the request's object path.
std::string nextToken() {
  static std::atomic<unsigned> count{0};
  return "vesk" + std::to_string(getpid()) + "_" + std::to_string(++count);
}

// The remote desktop's interface version; nothing when the portal does not offer it.
std::optional<guint32> versionOf(DBusLink& link, std::chrono::milliseconds limit, bool start) {
  auto reply = link.call(PORTAL, PORTAL_PATH, "org.freedesktop.DBus.Properties", "Get",
                         g_variant_new("(ss)", REMOTE_DESKTOP, "version"), "(v)", limit, start);
  if (!reply) return std::nullopt;
  GVariantPtr value(g_variant_get_child_value(reply.get(), 0));
  GVariantPtr inner(g_variant_get_variant(value.get()));
  if (!g_variant_is_of_type(inner.get(), G_VARIANT_TYPE_UINT32)) return std::nullopt;
  return g_variant_get_uint32(inner.get());
}

std::string stringIn(GVariant* results, const char* key) {
  GVariantPtr value(g_variant_lookup_value(results, key, nullptr));
  if (!value || !(g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING) ||
                  g_variant_is_of_type(value.get(), G_VARIANT_TYPE_OBJECT_PATH))) {
    return "";
  }
  return g_variant_get_string(value.get(), nullptr);
}

// The answer to one portal request.
struct Answer {
  enum class Kind { Answered, CallFailed, NoAnswer } kind = Kind::CallFailed;
  guint32 code = 2;
  GVariantPtr results;  // a{sv}, when answered

  bool ok() const { return kind == Kind::Answered && code == RESPONSE_OK; }
};

// Sends a request of the remote desktop interface and waits for its answer until the limit;
// a request left unanswered is closed. `arguments` builds the call's arguments around the
// request's token.
Answer request(DBusLink& link, const RemoteDesktopTimings& timings, const char* method,
               const std::function<GVariant*(const std::string& token)>& arguments,
               std::chrono::milliseconds limit) {
  const std::string token = nextToken();
  const std::string predicted =
      std::string(PORTAL_PATH) + "/request/" + link.senderPathElement() + "/" + token;
  std::string handle;
  GVariantPtr response = link.awaitSignal(
      PORTAL, REQUEST, "Response", predicted,
      [&]() -> std::optional<std::string> {
        auto reply = link.call(PORTAL, PORTAL_PATH, REMOTE_DESKTOP, method, arguments(token),
                               "(o)", timings.callLimit);
        if (!reply) return std::nullopt;
        const gchar* path = nullptr;
        g_variant_get(reply.get(), "(&o)", &path);
        handle = path;
        return handle;
      },
      limit);
  Answer answer;
  if (handle.empty()) return answer;
  if (!response || !g_variant_is_of_type(response.get(), G_VARIANT_TYPE("(ua{sv})"))) {
    link.call(PORTAL, handle, REQUEST, "Close", nullptr, nullptr, timings.callLimit);
    answer.kind = Answer::Kind::NoAnswer;
    return answer;
  }
  answer.kind = Answer::Kind::Answered;
  GVariant* results = nullptr;
  g_variant_get(response.get(), "(u@a{sv})", &answer.code, &results);
  answer.results.reset(results);
  return answer;
}

// Options of a request: its token, then the entries `more` adds.
GVariant* options(const std::string& token,
                  const std::function<void(GVariantBuilder*)>& more = nullptr) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&builder, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
  if (more) more(&builder);
  return g_variant_builder_end(&builder);
}

void closeSession(DBusLink& link, const std::string& handle, std::chrono::milliseconds limit) {
  link.call(PORTAL, handle, SESSION_INTERFACE, "Close", nullptr, nullptr, limit);
}

}  // namespace

PortalSession::PortalSession(DBusLink& link, const RemoteDesktopTimings& timings,
                             std::string handle)
    : link_(link), timings_(timings), handle_(std::move(handle)) {}

PortalSession::~PortalSession() { closeSession(link_, handle_, timings_.callLimit); }

bool PortalSession::offered(DBusLink& link, const RemoteDesktopTimings& timings) {
  // A portal the bus would start on demand is not started here: it runs in every desktop
  // session that has one, and asking it comes with the first paste.
  if (!link.hasOwner(PORTAL, timings.callLimit)) return link.activatable(PORTAL, timings.callLimit);
  return versionOf(link, timings.callLimit, false).has_value();
}

PortalSession::Opening PortalSession::open(DBusLink& link, const RemoteDesktopTimings& timings,
                                           std::string& restoreToken) {
  Opening opening;
  const auto version = versionOf(link, timings.callLimit, true);
  if (!version) return opening;
  const bool restorable = *version >= RESTORABLE_VERSION;

  auto created = request(
      link, timings, "CreateSession",
      [](const std::string& token) {
        GVariant* all = options(token, [&token](GVariantBuilder* builder) {
          g_variant_builder_add(builder, "{sv}", "session_handle_token",
                                g_variant_new_string(token.c_str()));
        });
        return g_variant_new("(@a{sv})", all);
      },
      timings.callLimit);
  if (!created.ok()) return opening;
  const std::string session = stringIn(created.results.get(), "session_handle");
  if (session.empty() || !g_variant_is_object_path(session.c_str())) return opening;

  auto selected = request(
      link, timings, "SelectDevices",
      [&](const std::string& token) {
        GVariant* all = options(token, [&](GVariantBuilder* builder) {
          g_variant_builder_add(builder, "{sv}", "types", g_variant_new_uint32(DEVICE_KEYBOARD));
          if (!restorable) return;
          g_variant_builder_add(builder, "{sv}", "persist_mode",
                                g_variant_new_uint32(PERSIST_WHILE_RUNNING));
          if (!restoreToken.empty()) {
            g_variant_builder_add(builder, "{sv}", "restore_token",
                                  g_variant_new_string(restoreToken.c_str()));
          }
        });
        return g_variant_new("(o@a{sv})", session.c_str(), all);
      },
      timings.callLimit);
  if (!selected.ok()) {
    closeSession(link, session, timings.callLimit);
    return opening;
  }

  // The consent dialog shows now, and waits for the user.
  auto started = request(
      link, timings, "Start",
      [&](const std::string& token) {
        return g_variant_new("(os@a{sv})", session.c_str(), "", options(token));
      },
      timings.consentLimit);
  if (started.kind == Answer::Kind::CallFailed) {
    closeSession(link, session, timings.callLimit);
    return opening;
  }
  guint32 devices = DEVICE_KEYBOARD;
  if (started.ok()) g_variant_lookup(started.results.get(), "devices", "u", &devices);
  if (!started.ok() || (devices & DEVICE_KEYBOARD) == 0) {
    closeSession(link, session, timings.callLimit);
    opening.outcome = Outcome::Refused;
    return opening;
  }
  if (restorable) {
    if (auto token = stringIn(started.results.get(), "restore_token"); !token.empty()) {
      restoreToken = token;
    }
  }
  opening.outcome = Outcome::Started;
  opening.session.reset(new PortalSession(link, timings, session));
  return opening;
}

bool PortalSession::key(unsigned kernelCode, bool down) {
  GVariant* noOptions = g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0);
  return link_.call(PORTAL, PORTAL_PATH, REMOTE_DESKTOP, "NotifyKeyboardKeycode",
                    g_variant_new("(o@a{sv}iu)", handle_.c_str(), noOptions,
                                  static_cast<gint32>(kernelCode), down ? 1u : 0u),
                    nullptr, timings_.callLimit) != nullptr;
}
