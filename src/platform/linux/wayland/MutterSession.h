#pragma once

#include <memory>
#include <string>

#include "platform/linux/wayland/DBusLink.h"
#include "platform/linux/wayland/KeySession.h"
#include "platform/linux/wayland/RemoteDesktopTimings.h"

// A session of mutter's own remote desktop service (GNOME's compositor), for sessions with no
// portal in front of it (headless GNOME). It asks no consent; the session lives as long as our
// bus connection or until it is stopped.
//
// Threads: one thread at a time (the hold-key main loop); no state is shared with another.
class MutterSession final : public KeySession {
 public:
  // True when mutter's service is running; starts nothing.
  static bool offered(DBusLink& link, const RemoteDesktopTimings& timings);
  // A started session; nothing when the service is not there or refused.
  static std::unique_ptr<MutterSession> open(DBusLink& link, const RemoteDesktopTimings& timings);
  ~MutterSession() override;  // stops the session
  MutterSession(const MutterSession&) = delete;
  MutterSession& operator=(const MutterSession&) = delete;

  bool key(unsigned kernelCode, bool down) override;

 private:
  MutterSession(DBusLink& link, const RemoteDesktopTimings& timings, std::string path);

  DBusLink& link_;
  RemoteDesktopTimings timings_;
  std::string path_;
};
