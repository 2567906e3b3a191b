#include "platform/linux/wayland/VirtualKeyboard.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <chrono>
#include <cstring>
#include <string>

#include "platform/linux/UniqueFd.h"
#include "virtual-keyboard-unstable-v1-client.h"

namespace {

constexpr std::uint32_t SEAT_VERSION = 5;
// From a new keyboard's upload until clients have bound their keyboard handles to it.
constexpr std::chrono::milliseconds CLIENTS_SETTLE{300};

// What the seat says of its keyboard while its keymap is asked for.
struct SeatKeyboard {
  bool present = false;
  std::string keymap;
};

void onCapabilities(void* data, wl_seat*, std::uint32_t capabilities) noexcept {
  if (data) {
    static_cast<SeatKeyboard*>(data)->present = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  }
}
void onName(void*, wl_seat*, const char*) noexcept {}
const wl_seat_listener SEAT_LISTENER{onCapabilities, onName};

void onKeymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd,
              std::uint32_t size) noexcept {
  UniqueFd file(fd);
  if (format != WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 || size == 0) return;
  void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file.get(), 0);
  if (mapped == MAP_FAILED) return;
  const auto* text = static_cast<const char*>(mapped);
  try {
    static_cast<SeatKeyboard*>(data)->keymap.assign(text, strnlen(text, size));
  } catch (...) {
    // Out of memory: the seat's keymap stays unknown and the named layout stands in.
  }
  munmap(mapped, size);
}
void onEnter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) noexcept {}
void onLeave(void*, wl_keyboard*, std::uint32_t, wl_surface*) noexcept {}
void onKey(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
           std::uint32_t) noexcept {}
void onModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                 std::uint32_t) noexcept {}
void onRepeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) noexcept {}
const wl_keyboard_listener KEYBOARD_LISTENER{onKeymap,     onEnter,    onLeave, onKey,
                                             onModifiers, onRepeatInfo};

// Key event times: milliseconds of a monotonic clock, wrapping as the protocol's do.
std::uint32_t now() {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace

void VirtualKeyboard::Destroy::operator()(wl_seat* seat) const {
  if (wl_seat_get_version(seat) >= WL_SEAT_RELEASE_SINCE_VERSION) {
    wl_seat_release(seat);
  } else {
    wl_seat_destroy(seat);
  }
}
void VirtualKeyboard::Destroy::operator()(zwp_virtual_keyboard_manager_v1* manager) const {
  zwp_virtual_keyboard_manager_v1_destroy(manager);
}
void VirtualKeyboard::Destroy::operator()(zwp_virtual_keyboard_v1* keyboard) const {
  zwp_virtual_keyboard_v1_destroy(keyboard);
}

VirtualKeyboard::VirtualKeyboard(std::unique_ptr<WaylandConnection> connection,
                                 Owned<wl_seat> seat,
                                 Owned<zwp_virtual_keyboard_manager_v1> manager, XkbKeymap keymap)
    : connection_(std::move(connection)),
      seat_(std::move(seat)),
      manager_(std::move(manager)),
      keymap_(std::move(keymap)),
      state_(keymap_) {}

VirtualKeyboard::~VirtualKeyboard() = default;

std::unique_ptr<VirtualKeyboard> VirtualKeyboard::create(WaylandConnection::Deadline deadline) {
  auto connection = WaylandConnection::open(deadline);
  if (!connection) return nullptr;
  Owned<zwp_virtual_keyboard_manager_v1> manager(
      connection->bind<zwp_virtual_keyboard_manager_v1>(zwp_virtual_keyboard_manager_v1_interface,
                                                        1));
  Owned<wl_seat> seat(connection->bind<wl_seat>(wl_seat_interface, SEAT_VERSION));
  if (!manager || !seat) return nullptr;
  auto keymap = seatKeymap(*connection, seat.get(), deadline);
  if (!keymap) keymap = XkbKeymap::fromNames();
  if (!keymap) return nullptr;
  std::unique_ptr<VirtualKeyboard> keyboard(new VirtualKeyboard(
      std::move(connection), std::move(seat), std::move(manager), std::move(*keymap)));
  if (!keyboard->upload(deadline)) return nullptr;
  return keyboard;
}

std::optional<XkbKeymap> VirtualKeyboard::seatKeymap(WaylandConnection& connection, wl_seat* seat,
                                                     WaylandConnection::Deadline deadline) {
  SeatKeyboard said;
  wl_seat_add_listener(seat, &SEAT_LISTENER, &said);
  const bool answered = connection.roundtrip(deadline);
  wl_seat_set_user_data(seat, nullptr);  // later capability changes are of no interest
  if (!answered || !said.present) return std::nullopt;
  wl_keyboard* keyboard = wl_seat_get_keyboard(seat);
  if (!keyboard) return std::nullopt;
  wl_keyboard_add_listener(keyboard, &KEYBOARD_LISTENER, &said);
  connection.roundtrip(deadline);
  if (wl_keyboard_get_version(keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
    wl_keyboard_release(keyboard);
  } else {
    wl_keyboard_destroy(keyboard);
  }
  if (said.keymap.empty()) return std::nullopt;
  return XkbKeymap::fromText(said.keymap);
}

bool VirtualKeyboard::upload(WaylandConnection::Deadline deadline) {
  keyboard_.reset(
      zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(manager_.get(), seat_.get()));
  const std::string text = keymap_.text();
  UniqueFd file(memfd_create("vesk-keymap", MFD_CLOEXEC));
  if (!keyboard_ || !file || text.empty()) return false;
  for (std::size_t written = 0; written < text.size();) {
    const auto wrote = write(file.get(), text.data() + written, text.size() - written);
    if (wrote <= 0) return false;
    written += static_cast<std::size_t>(wrote);
  }
  zwp_virtual_keyboard_v1_keymap(keyboard_.get(), WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, file.get(),
                                 static_cast<std::uint32_t>(text.size()));
  if (!connection_->roundtrip(deadline)) return false;
  readyAt_ = std::chrono::steady_clock::now() + CLIENTS_SETTLE;
  return true;
}

void VirtualKeyboard::queue(const std::vector<KeyStep>& steps) {
  for (const auto& step : steps) {
    zwp_virtual_keyboard_v1_key(
        keyboard_.get(), now(), XkbKeymap::kernelCode(step.code),
        step.down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    if (auto mods = state_.press(step.code, step.down)) {
      zwp_virtual_keyboard_v1_modifiers(keyboard_.get(), mods->depressed, mods->latched,
                                        mods->locked, mods->group);
    }
  }
}

bool VirtualKeyboard::send() { return connection_->pump(); }
