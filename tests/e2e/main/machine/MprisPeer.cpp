#include "e2e/main/machine/MprisPeer.h"

#include <gio/gio.h>

#include <future>
#include <stdexcept>

namespace {

constexpr const char* PLAYER_XML =
    "<node><interface name='org.mpris.MediaPlayer2.Player'>"
    "<method name='Play'/><method name='Pause'/>"
    "<property name='PlaybackStatus' type='s' access='read'/>"
    "</interface></node>";

void onMethod(GDBusConnection*, const char*, const char*, const char*, const char* method,
              GVariant*, GDBusMethodInvocation* invocation, gpointer data) {
  try {
    static_cast<MprisPeer*>(data)->onCall(method);
    g_dbus_method_invocation_return_value(invocation, nullptr);
  } catch (...) {
    g_dbus_method_invocation_return_dbus_error(invocation, "org.example.Failed", "failed");
  }
}

GVariant* onProperty(GDBusConnection*, const char*, const char*, const char*, const char*,
                     GError** error, gpointer data) {
  try {
    return g_variant_new_string(static_cast<MprisPeer*>(data)->onStatusRead().c_str());
  } catch (...) {
    g_set_error_literal(error, G_IO_ERROR, G_IO_ERROR_FAILED, "failed");
    return nullptr;
  }
}

const GDBusInterfaceVTable PLAYER_VTABLE = {onMethod, onProperty, nullptr, {}};

}  // namespace

MprisPeer::MprisPeer(std::string busName, std::string status, std::chrono::milliseconds slowness,
                     std::string realPlayer)
    : busName_(std::move(busName)),
      realPlayer_(std::move(realPlayer)),
      slowness_(slowness),
      status_(std::move(status)),
      context_(g_main_context_new()),
      loop_(g_main_loop_new(context_, FALSE)) {
  std::promise<std::string> started;
  auto outcome = started.get_future();
  thread_ = std::thread([this, &started] { serve(started); });
  std::string problem = outcome.get();
  if (!problem.empty()) {
    thread_.join();
    g_main_loop_unref(loop_);
    g_main_context_unref(context_);
    throw std::runtime_error("media player " + busName_ + ": " + problem);
  }
}

MprisPeer::~MprisPeer() {
  g_main_loop_quit(loop_);
  thread_.join();
  g_main_loop_unref(loop_);
  g_main_context_unref(context_);
}

std::string MprisPeer::status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

std::string MprisPeer::passOn(const std::string& method) {
  bool read = method == "PlaybackStatus";
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus_, realPlayer_.c_str(), "/org/mpris/MediaPlayer2",
      read ? "org.freedesktop.DBus.Properties" : "org.mpris.MediaPlayer2.Player",
      read ? "Get" : method.c_str(),
      read ? g_variant_new("(ss)", "org.mpris.MediaPlayer2.Player", "PlaybackStatus") : nullptr,
      nullptr, G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &error);
  if (error) g_error_free(error);
  if (!reply) throw std::runtime_error("the real player did not answer");
  std::string answer = "done";
  if (read) {
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    answer = g_variant_get_string(value, nullptr);
    g_variant_unref(value);
  }
  g_variant_unref(reply);
  return answer;
}

void MprisPeer::onCall(const std::string& method) {
  std::this_thread::sleep_for(slowness_);
  if (method == "Pause") ++pauses_;
  if (method == "Play") ++plays_;
  if (!realPlayer_.empty()) {
    passOn(method);
    return;
  }
  std::lock_guard lock(mutex_);
  if (method == "Pause" && status_ == "Playing") status_ = "Paused";
  if (method == "Play") status_ = "Playing";
}

std::string MprisPeer::onStatusRead() {
  std::this_thread::sleep_for(slowness_);
  if (!realPlayer_.empty()) return passOn("PlaybackStatus");
  return status();
}

void MprisPeer::serve(std::promise<std::string>& started) {
  g_main_context_push_thread_default(context_);
  GError* error = nullptr;
  std::string problem;
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(PLAYER_XML, &error);
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (address) {
    bus_ = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error);
    g_free(address);
  }
  if (bus_ && node) {
    registration_ =
        g_dbus_connection_register_object(bus_, "/org/mpris/MediaPlayer2", node->interfaces[0],
                                          &PLAYER_VTABLE, this, nullptr, &error);
  }
  if (registration_) {
    constexpr guint32 DO_NOT_QUEUE = 4;
    GVariant* reply = g_dbus_connection_call_sync(
        bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", busName_.c_str(), DO_NOT_QUEUE), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    if (reply) {
      guint32 answer = 0;
      g_variant_get(reply, "(u)", &answer);
      g_variant_unref(reply);
      if (answer != 1) problem = "the name is taken";
    }
  }
  if (error)
    problem = error->message;
  else if (!registration_ && problem.empty())
    problem = "no session bus";
  if (error) g_error_free(error);
  if (node) g_dbus_node_info_unref(node);

  started.set_value(problem);
  if (problem.empty()) g_main_loop_run(loop_);

  if (registration_) g_dbus_connection_unregister_object(bus_, registration_);
  if (bus_) {
    g_dbus_connection_close_sync(bus_, nullptr, nullptr);
    g_object_unref(bus_);
  }
  g_main_context_pop_thread_default(context_);
}
