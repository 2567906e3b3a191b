#include "platform/linux/gio/GioAppBus.h"

#include "platform/linux/gio/GioHandles.h"

namespace {

constexpr int QUESTION_LIMIT_MS = 2000;

GObjectPtr<GDBusConnection> connection() {
  GError* raw = nullptr;
  GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &raw));
  GErrorPtr error(raw);
  if (!bus) {
    throw AppBusError(error ? error->code : -1,
                      error ? error->message : "There is no session bus.");
  }
  return bus;
}

// Calls a method of the bus daemon itself; none (with the error) when the call failed.
GVariantPtr callDaemon(GDBusConnection* bus, const char* method, GVariant* parameters,
                       const GVariantType* replyType, int limitMs, GErrorPtr& error) {
  GError* raw = nullptr;
  GVariantPtr reply(g_dbus_connection_call_sync(
      bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
      parameters, replyType, G_DBUS_CALL_FLAGS_NONE, limitMs, nullptr, &raw));
  error.reset(raw);
  return reply;
}

}  // namespace

bool GioAppBus::hasOwner(const std::string& name) {
  auto bus = connection();
  GErrorPtr error;
  auto reply = callDaemon(bus.get(), "NameHasOwner", g_variant_new("(s)", name.c_str()),
                          G_VARIANT_TYPE("(b)"), QUESTION_LIMIT_MS, error);
  if (!reply) throw AppBusError(error ? error->code : -1, error ? error->message : "");
  gboolean owned = FALSE;
  g_variant_get(reply.get(), "(b)", &owned);
  return owned != FALSE;
}

bool GioAppBus::activate(const std::string& name, std::chrono::milliseconds limit) {
  GObjectPtr<GDBusConnection> bus;
  try {
    bus = connection();
  } catch (const AppBusError&) {
    return false;
  }
  GErrorPtr error;
  auto names = callDaemon(bus.get(), "ListActivatableNames", nullptr, G_VARIANT_TYPE("(as)"),
                          QUESTION_LIMIT_MS, error);
  if (!names) return false;
  bool known = false;
  GVariantIter* iter = nullptr;
  const gchar* each = nullptr;
  g_variant_get(names.get(), "(as)", &iter);
  while (g_variant_iter_next(iter, "&s", &each)) known = known || name == each;
  g_variant_iter_free(iter);
  if (!known) return false;
  auto started =
      callDaemon(bus.get(), "StartServiceByName", g_variant_new("(su)", name.c_str(), 0u),
                 G_VARIANT_TYPE("(u)"), static_cast<int>(limit.count()), error);
  return static_cast<bool>(started);
}
