#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "platform/SyntheticInput.h"
#include "platform/linux/wayland/WaylandConnection.h"
#include "platform/linux/wayland/XkbKeyState.h"
#include "platform/linux/wayland/XkbKeymap.h"

struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;

// One virtual keyboard on the compositor's seat (the virtual-keyboard protocol of wlroots
// compositors) on a connection of its own. It uploads the full keymap of the user's layout
// once: the seat's own keymap where the seat has a keyboard, else the layout the environment
// names (XKB_DEFAULT_LAYOUT, XKB_DEFAULT_VARIANT; xkbcommon's default "us" without one). Clients
// bind their key handling to the keymap they see, so it never changes while the keyboard lives.
// Key events carry the modifier state they make, so that clients see Control held.
//
// Threads: one at a time (VirtualKeyboardInput's lock).
class VirtualKeyboard {
 public:
  // Nothing when no compositor answers before the deadline or it offers no virtual keyboards.
  static std::unique_ptr<VirtualKeyboard> create(WaylandConnection::Deadline deadline);
  ~VirtualKeyboard();
  VirtualKeyboard(const VirtualKeyboard&) = delete;
  VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

  const XkbKeymap& keymap() const { return keymap_; }
  // When clients have had the time to take the new keyboard: their keyboard handles come after
  // the seat tells them of it, and keys sent before then are lost.
  std::chrono::steady_clock::time_point readyAt() const { return readyAt_; }
  // Queues the key events, in order, each followed by the modifiers it changed.
  void queue(const std::vector<KeyStep>& steps);
  // Sends what is queued and reads what the compositor said; false when the connection failed.
  bool send();

 private:
  struct Destroy {
    void operator()(wl_seat* seat) const;
    void operator()(zwp_virtual_keyboard_manager_v1* manager) const;
    void operator()(zwp_virtual_keyboard_v1* keyboard) const;
  };
  template <class Proxy>
  using Owned = std::unique_ptr<Proxy, Destroy>;

  VirtualKeyboard(std::unique_ptr<WaylandConnection> connection, Owned<wl_seat> seat,
                  Owned<zwp_virtual_keyboard_manager_v1> manager, XkbKeymap keymap);

  // Makes the keyboard and hands the compositor its keymap.
  bool upload(WaylandConnection::Deadline deadline);
  // The keymap of the seat's keyboard, when the seat has one.
  static std::optional<XkbKeymap> seatKeymap(WaylandConnection& connection, wl_seat* seat,
                                             WaylandConnection::Deadline deadline);

  std::unique_ptr<WaylandConnection> connection_;
  Owned<wl_seat> seat_;
  Owned<zwp_virtual_keyboard_manager_v1> manager_;
  Owned<zwp_virtual_keyboard_v1> keyboard_;
  XkbKeymap keymap_;
  XkbKeyState state_;
  std::chrono::steady_clock::time_point readyAt_;
};
