#include "platform/linux/gio/GioSleepNotice.h"

#include <pthread.h>

#include <memory>

#include "platform/linux/gio/GioHandles.h"

namespace {

// How long reaching the system bus may take.
constexpr guint BUS_LIMIT_MS = 3000;

struct Watch {
  std::function<void()> willSleep;
  GMainContext* context = nullptr;
  GMainLoop* loop = nullptr;
  GObjectPtr<GDBusConnection> bus;
  bool gaveUp = false;
};

void onPrepareForSleep(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                       GVariant* parameters, gpointer data) {
  gboolean sleeping = FALSE;
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) return;
  g_variant_get(parameters, "(b)", &sleeping);
  if (!sleeping) return;
  try {
    static_cast<Watch*>(data)->willSleep();
  } catch (...) {
    // Nothing crosses back into GLib.
  }
}

void onBus(GObject*, GAsyncResult* result, gpointer data) {
  auto* watch = static_cast<Watch*>(data);
  GError* raw = nullptr;
  GObjectPtr<GDBusConnection> bus(g_bus_get_finish(result, &raw));
  GErrorPtr error(raw);
  if (!bus || watch->gaveUp) {
    g_main_loop_quit(watch->loop);
    return;
  }
  g_dbus_connection_signal_subscribe(bus.get(), "org.freedesktop.login1",
                                     "org.freedesktop.login1.Manager", "PrepareForSleep",
                                     "/org/freedesktop/login1", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                     onPrepareForSleep, watch, nullptr);
  watch->bus = std::move(bus);
}

}  // namespace

void GioSleepNotice::watch(std::function<void()> willSleep) {
  std::thread([willSleep = std::move(willSleep)] {
    pthread_setname_np(pthread_self(), "vesk.sleep");
    // Lives as long as the process: the subscription calls into it until the end.
    auto* watch = new Watch;
    watch->willSleep = willSleep;
    watch->context = g_main_context_new();
    g_main_context_push_thread_default(watch->context);
    watch->loop = g_main_loop_new(watch->context, FALSE);
    GObjectPtr<GCancellable> cancel(g_cancellable_new());
    g_bus_get(G_BUS_TYPE_SYSTEM, cancel.get(), onBus, watch);
    GSource* limit = g_timeout_source_new(BUS_LIMIT_MS);
    g_source_set_callback(
        limit,
        [](gpointer data) -> gboolean {
          auto* watch = static_cast<Watch*>(data);
          if (!watch->bus) {
            watch->gaveUp = true;
            g_main_loop_quit(watch->loop);
          }
          return G_SOURCE_REMOVE;
        },
        watch, nullptr);
    g_source_attach(limit, watch->context);
    g_source_unref(limit);
    g_main_loop_run(watch->loop);
    // Only a bus that never came ends the loop; the thread then has nothing more to do.
    g_cancellable_cancel(cancel.get());
  }).detach();
}
