#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_interface;
struct wl_registry;

// A connection to the compositor named by WAYLAND_DISPLAY, with the globals it offers. Every
// wait on the compositor has a deadline: wl_display_roundtrip() could block forever, so answers
// are awaited with poll().
//
// Threads: one thread at a time; a backend that dispatches on a thread of its own hands the
// connection to that thread once set up. No mutex: libwayland serialises requests itself.
class WaylandConnection {
 public:
  using Deadline = std::chrono::steady_clock::time_point;

  // Connects and lists the globals; nothing when no compositor answers before the deadline.
  static std::unique_ptr<WaylandConnection> open(Deadline deadline);
  ~WaylandConnection();
  WaylandConnection(const WaylandConnection&) = delete;
  WaylandConnection& operator=(const WaylandConnection&) = delete;

  wl_display* display() const { return display_.get(); }
  int fd() const;

  bool offers(const std::string& interface) const;
  // The first global of the interface, bound at its version or the offered one if older;
  // nullptr when the compositor does not offer it.
  void* bind(const wl_interface& interface, std::uint32_t version);
  template <class Proxy>
  Proxy* bind(const wl_interface& interface, std::uint32_t version) {
    return static_cast<Proxy*>(bind(interface, version));
  }

  // Sends the requests made so far and dispatches events until the compositor has answered
  // them all. False after the deadline or when the connection failed.
  bool roundtrip(Deadline deadline);
  // Sends the requests made so far and dispatches the events already received, without
  // waiting. False when the connection failed.
  bool pump();

  // For a thread that waits for the connection's fd itself: prepareRead() dispatches what is
  // queued and sends the requests, then the thread waits until fd() is readable and calls
  // readPrepared(), or cancelRead() when it stops waiting. False when the connection failed.
  bool prepareRead();
  bool readPrepared();
  void cancelRead();

 private:
  struct Global {
    std::uint32_t name;
    std::string interface;
    std::uint32_t version;
  };
  struct Disconnect {
    void operator()(wl_display* display) const;
  };

  explicit WaylandConnection(wl_display* display);
  static void onGlobal(void* data, wl_registry* registry, std::uint32_t name,
                       const char* interface, std::uint32_t version) noexcept;
  static void onGlobalRemove(void* data, wl_registry* registry, std::uint32_t name) noexcept;
  // Reads and dispatches events, waiting for them at most until the deadline.
  bool readEvents(Deadline deadline);

  std::unique_ptr<wl_display, Disconnect> display_;
  wl_registry* registry_ = nullptr;
  std::vector<Global> globals_;
};
