#include "platform/linux/gio/GioAccessibility.h"

#include "platform/linux/gio/GioHandles.h"

namespace {

constexpr const char* A11Y_NAME = "org.a11y.Bus";
constexpr const char* A11Y_PATH = "/org/a11y/bus";
constexpr const char* STATUS_INTERFACE = "org.a11y.Status";
constexpr int CALL_LIMIT_MS = 3000;

}  // namespace

bool GioAccessibility::enabled() {
  auto bus = sessionBus();
  if (!bus) return false;
  GError* error = nullptr;
  // NO_AUTO_START: asking must not start the accessibility bus.
  GVariantPtr answer(g_dbus_connection_call_sync(
      bus.get(), A11Y_NAME, A11Y_PATH, "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", STATUS_INTERFACE, "IsEnabled"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NO_AUTO_START, CALL_LIMIT_MS, nullptr, &error));
  GErrorPtr owned(error);
  if (!answer) return false;
  GVariant* boxed = nullptr;
  g_variant_get(answer.get(), "(v)", &boxed);
  GVariantPtr value(boxed);
  return value && g_variant_is_of_type(value.get(), G_VARIANT_TYPE_BOOLEAN) &&
         g_variant_get_boolean(value.get());
}

void GioAccessibility::enable() {
  auto bus = sessionBus();
  if (!bus) return;
  GError* error = nullptr;
  GVariantPtr answer(g_dbus_connection_call_sync(
      bus.get(), A11Y_NAME, A11Y_PATH, "org.freedesktop.DBus.Properties", "Set",
      g_variant_new("(ssv)", STATUS_INTERFACE, "IsEnabled", g_variant_new_boolean(TRUE)),
      nullptr, G_DBUS_CALL_FLAGS_NONE, CALL_LIMIT_MS, nullptr, &error));
  GErrorPtr owned(error);
}
