#pragma once

#include "platform/MediaPlayers.h"
#include "platform/linux/gio/GioHandles.h"

// Media players through their MPRIS interface on the session bus, with synchronous GDBus calls
// (one-shot commands, main thread only). Connects on first use; without a session bus no player
// is running.
class MprisMediaPlayers final : public MediaPlayers {
 public:
  bool running(const std::string& busName, Millis timeout) override;
  std::optional<std::string> playbackStatus(const std::string& busName, Millis timeout) override;
  bool pause(const std::string& busName, Millis timeout) override;
  bool play(const std::string& busName, Millis timeout) override;

 private:
  GObjectPtr<GDBusConnection> bus_;
  bool triedBus_ = false;

  // One method call that never starts a service: the reply, or none on any error.
  GVariantPtr call(const char* name, const char* path, const char* interface, const char* method,
                   GVariant* parameters, const GVariantType* replyType, Millis timeout);
};
