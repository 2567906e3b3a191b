#include "platform/linux/wayland/WaylandConnection.h"

#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>

namespace {

using Clock = std::chrono::steady_clock;

void onDone(void* data, wl_callback*, std::uint32_t) noexcept { *static_cast<bool*>(data) = true; }
const wl_callback_listener DONE_LISTENER{onDone};

}  // namespace

void WaylandConnection::Disconnect::operator()(wl_display* display) const {
  wl_display_disconnect(display);
}

WaylandConnection::WaylandConnection(wl_display* display) : display_(display) {}

WaylandConnection::~WaylandConnection() {
  if (registry_) wl_registry_destroy(registry_);
}

std::unique_ptr<WaylandConnection> WaylandConnection::open(Deadline deadline) {
  wl_display* display = wl_display_connect(nullptr);
  if (!display) return nullptr;
  std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
  connection->registry_ = wl_display_get_registry(display);
  if (!connection->registry_) return nullptr;
  static const wl_registry_listener listener{onGlobal, onGlobalRemove};
  wl_registry_add_listener(connection->registry_, &listener, connection.get());
  if (!connection->roundtrip(deadline)) return nullptr;
  return connection;
}

void WaylandConnection::onGlobal(void* data, wl_registry*, std::uint32_t name,
                                 const char* interface, std::uint32_t version) noexcept {
  try {
    static_cast<WaylandConnection*>(data)->globals_.push_back({name, interface, version});
  } catch (...) {
    // Out of memory: the global stays unknown, as if the compositor did not offer it.
  }
}

void WaylandConnection::onGlobalRemove(void* data, wl_registry*, std::uint32_t name) noexcept {
  auto& globals = static_cast<WaylandConnection*>(data)->globals_;
  std::erase_if(globals, [name](const Global& global) { return global.name == name; });
}

int WaylandConnection::fd() const { return wl_display_get_fd(display_.get()); }

bool WaylandConnection::offers(const std::string& interface) const {
  return std::any_of(globals_.begin(), globals_.end(),
                     [&interface](const Global& global) { return global.interface == interface; });
}

void* WaylandConnection::bind(const wl_interface& interface, std::uint32_t version) {
  for (const auto& global : globals_) {
    if (global.interface == interface.name) {
      return wl_registry_bind(registry_, global.name, &interface, std::min(version, global.version));
    }
  }
  return nullptr;
}

bool WaylandConnection::readEvents(Deadline deadline) {
  if (!prepareRead()) return false;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  pollfd watched{fd(), POLLIN, 0};
  if (poll(&watched, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) {
    cancelRead();
    return wl_display_get_error(display_.get()) == 0;
  }
  return readPrepared();
}

bool WaylandConnection::roundtrip(Deadline deadline) {
  bool done = false;
  wl_callback* sync = wl_display_sync(display_.get());
  if (!sync) return false;
  wl_callback_add_listener(sync, &DONE_LISTENER, &done);
  // Events already queued are dispatched first, so the wait starts only when none is pending.
  while (wl_display_dispatch_pending(display_.get()) >= 0 && !done && Clock::now() < deadline &&
         readEvents(deadline)) {
  }
  // A late answer goes to a destroyed proxy, which libwayland drops.
  wl_callback_destroy(sync);
  return done;
}

bool WaylandConnection::pump() { return readEvents(Clock::now()); }

bool WaylandConnection::prepareRead() {
  wl_display* display = display_.get();
  while (wl_display_prepare_read(display) != 0) {
    if (wl_display_dispatch_pending(display) < 0) return false;
  }
  // A full socket (EAGAIN) is sent on a later flush; any other failure ends the connection.
  if (wl_display_flush(display) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(display);
    return false;
  }
  return true;
}

bool WaylandConnection::readPrepared() {
  wl_display* display = display_.get();
  return wl_display_read_events(display) == 0 && wl_display_dispatch_pending(display) >= 0;
}

void WaylandConnection::cancelRead() { wl_display_cancel_read(display_.get()); }
