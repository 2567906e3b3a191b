#include "platform/linux/gio/GioHandles.h"

GObjectPtr<GDBusConnection> sessionBus() {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  GErrorPtr owned(error);
  return GObjectPtr<GDBusConnection>(bus);
}
