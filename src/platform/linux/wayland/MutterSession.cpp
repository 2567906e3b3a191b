#include "platform/linux/wayland/MutterSession.h"

namespace {

constexpr const char* SERVICE = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* SERVICE_PATH = "/org/gnome/Mutter/RemoteDesktop";
constexpr const char* SESSION = "org.gnome.Mutter.RemoteDesktop.Session";

}  // namespace

MutterSession::MutterSession(DBusLink& link, const RemoteDesktopTimings& timings, std::string path)
    : link_(link), timings_(timings), path_(std::move(path)) {}

MutterSession::~MutterSession() {
  link_.call(SERVICE, path_, SESSION, "Stop", nullptr, nullptr, timings_.callLimit);
}

bool MutterSession::offered(DBusLink& link, const RemoteDesktopTimings& timings) {
  return link.hasOwner(SERVICE, timings.callLimit);
}

std::unique_ptr<MutterSession> MutterSession::open(DBusLink& link,
                                                   const RemoteDesktopTimings& timings) {
  auto created = link.call(SERVICE, SERVICE_PATH, SERVICE, "CreateSession", nullptr, "(o)",
                           timings.callLimit, false);
  if (!created) return nullptr;
  const gchar* path = nullptr;
  g_variant_get(created.get(), "(&o)", &path);
  std::unique_ptr<MutterSession> session(new MutterSession(link, timings, path));
  if (!link.call(SERVICE, session->path_, SESSION, "Start", nullptr, nullptr, timings.callLimit)) {
    return nullptr;
  }
  return session;
}

bool MutterSession::key(unsigned kernelCode, bool down) {
  return link_.call(SERVICE, path_, SESSION, "NotifyKeyboardKeycode",
                    g_variant_new("(ub)", kernelCode, down ? TRUE : FALSE), nullptr,
                    timings_.callLimit) != nullptr;
}
