#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/SyntheticInput.h"
#include "platform/linux/wayland/DBusLink.h"
#include "platform/linux/wayland/KeySession.h"
#include "platform/linux/wayland/RemoteDesktopTimings.h"

// Synthetic keys on GNOME and KDE Wayland sessions, through a remote desktop session: the
// desktop's RemoteDesktop portal, else mutter's own service where no portal runs (headless
// GNOME). One session serves the whole run. It starts at the first post(), so the portal's one
// consent dialog comes with the first paste; a refused or unanswered consent is not asked again.
// The session's keyboard appears only with its first key, which the focused client does not see:
// a Shift press and release wakes it, then the client gets a moment to bind it.
// The layout is the user's: GNOME's first keyboard input source, else XKB_DEFAULT_LAYOUT.
//
// Threads: one thread at a time (the hold-key main loop); no state is shared with another, so
// there is no mutex. post() waits at most the consent limit at the first paste, and at most the
// call limit per key after that.
class RemoteDesktopInput final : public SyntheticInput {
 public:
  RemoteDesktopInput();
  explicit RemoteDesktopInput(const RemoteDesktopTimings& timings);
  ~RemoteDesktopInput() override;
  RemoteDesktopInput(const RemoteDesktopInput&) = delete;
  RemoteDesktopInput& operator=(const RemoteDesktopInput&) = delete;

  // True when the portal or mutter's service is on the session bus; starts no session.
  bool available() override;
  std::optional<PasteKeys> pasteKeys() override;
  // Starts the session at the first call; false when none could start, the user refused, or a
  // key was not taken.
  bool post(const std::vector<KeyStep>& steps) override;

 private:
  DBusLink* link();
  bool start();

  RemoteDesktopTimings timings_;
  std::unique_ptr<DBusLink> link_;
  std::unique_ptr<KeySession> session_;  // ends before the link
  bool consented_ = false;               // the portal started a session once in this run
  bool refused_ = false;
  std::string restoreToken_;
  std::string layout_;                   // the names pasteKeys_ was built from
  std::optional<PasteKeys> pasteKeys_;
};
