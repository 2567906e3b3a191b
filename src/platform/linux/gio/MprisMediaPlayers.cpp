#include "platform/linux/gio/MprisMediaPlayers.h"

#include <algorithm>

namespace {

constexpr const char* PLAYER_PATH = "/org/mpris/MediaPlayer2";
constexpr const char* PLAYER_INTERFACE = "org.mpris.MediaPlayer2.Player";

}  // namespace

GVariantPtr MprisMediaPlayers::call(const char* name, const char* path, const char* interface,
                                    const char* method, GVariant* parameters,
                                    const GVariantType* replyType, Millis timeout) {
  // A floating parameter value is owned here until the call takes it.
  GVariantPtr ownedParameters(parameters ? g_variant_ref_sink(parameters) : nullptr);
  if (!triedBus_) {
    triedBus_ = true;
    bus_ = sessionBus();
  }
  if (!bus_) return nullptr;
  int limit = static_cast<int>(std::max<Millis::rep>(1, timeout.count()));
  GError* error = nullptr;
  GVariantPtr reply(g_dbus_connection_call_sync(
      bus_.get(), name, path, interface, method, ownedParameters.get(), replyType,
      G_DBUS_CALL_FLAGS_NO_AUTO_START, limit, nullptr, &error));
  GErrorPtr ownedError(error);
  return reply;
}

bool MprisMediaPlayers::running(const std::string& busName, Millis timeout) {
  auto reply =
      call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
           g_variant_new("(s)", busName.c_str()), G_VARIANT_TYPE("(b)"), timeout);
  if (!reply) return false;
  gboolean owned = FALSE;
  g_variant_get(reply.get(), "(b)", &owned);
  return owned != FALSE;
}

std::optional<std::string> MprisMediaPlayers::playbackStatus(const std::string& busName,
                                                             Millis timeout) {
  auto reply = call(busName.c_str(), PLAYER_PATH, "org.freedesktop.DBus.Properties", "Get",
                    g_variant_new("(ss)", PLAYER_INTERFACE, "PlaybackStatus"),
                    G_VARIANT_TYPE("(v)"), timeout);
  if (!reply) return std::nullopt;
  GVariant* inner = nullptr;
  g_variant_get(reply.get(), "(v)", &inner);
  GVariantPtr value(inner);
  if (!g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING)) return std::nullopt;
  return std::string(g_variant_get_string(value.get(), nullptr));
}

bool MprisMediaPlayers::pause(const std::string& busName, Millis timeout) {
  return call(busName.c_str(), PLAYER_PATH, PLAYER_INTERFACE, "Pause", nullptr, nullptr, timeout) !=
         nullptr;
}

bool MprisMediaPlayers::play(const std::string& busName, Millis timeout) {
  return call(busName.c_str(), PLAYER_PATH, PLAYER_INTERFACE, "Play", nullptr, nullptr, timeout) !=
         nullptr;
}
