#pragma once

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/Clipboard.h"
#include "platform/linux/x11/WakeSignal.h"
#include "platform/linux/x11/X11Display.h"

// The CLIPBOARD selection of the X display. The bridge's own contents are served by a thread
// of its own ("vesk.clipboard") on its own connection, for as long as the bridge owns the
// selection; other owners' contents are read on the caller's connection, each wait bounded.
// The change count follows XFixes selection-owner notifications; the bridge's own changes are
// counted when made, and their notifications are not counted again.
//
// Threads: the methods from one thread at a time (the hold-key main loop), which alone uses
// reader_. The serving thread alone uses server_, served_ and the X window it serves from;
// mutex_ guards tasks_ and ownClears_; changes_ is atomic.
class X11Clipboard final : public Clipboard {
 public:
  X11Clipboard();
  ~X11Clipboard() override;
  X11Clipboard(const X11Clipboard&) = delete;
  X11Clipboard& operator=(const X11Clipboard&) = delete;

  bool available() override { return openReader(); }
  bool hasContents() override;
  std::vector<std::string> types() override;
  std::optional<std::string> read(const std::string& type) override;
  void clear() override;
  void write(const std::vector<ClipboardFlavor>& flavors) override;
  std::uint64_t changeCount() override { return changes_; }
  std::vector<ClipboardFlavor> textFlavors(const std::string& text) override;
  ClipboardFlavor transientMarker() override;
  void keepAfterExit() override;

 private:
  using Deadline = std::chrono::steady_clock::time_point;

  // Serving side.
  bool startServing();
  void serve();
  bool onServer(std::function<void()> task);
  void handle(XEvent& event);
  void answer(const XSelectionRequestEvent& request);
  void setOwner(Window owner);
  void handOver();

  // Reading side.
  bool openReader();
  std::optional<std::string> convert(Atom target, Deadline deadline, bool atoms);
  std::optional<std::string> incremental(Atom property, Deadline deadline);
  bool waitFor(int type, Deadline deadline, XEvent& event,
               const std::function<bool(const XEvent&)>& wanted);

  X11Display server_;
  Window serverWindow_ = None;
  int fixesEvent_ = 0;
  std::vector<ClipboardFlavor> served_;
  Time ownedSince_ = CurrentTime;
  std::thread thread_;
  WakeSignal wake_;
  std::atomic<bool> stopping_{false};

  std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
  int ownClears_ = 0;

  std::atomic<std::uint64_t> changes_{0};

  X11Display reader_;
  Window readerWindow_ = None;
};
