#pragma once

#include <atomic>
#include <set>
#include <thread>

#include "platform/InputMonitor.h"
#include "platform/linux/x11/WakeSignal.h"
#include "platform/linux/x11/X11Display.h"

// Every key press and release and every button press of the X display, through XInput2 raw
// events on the root window. Modifiers are worked out from the keys held down (seeded from the
// keyboard's state at the start), so left and right Alt are told apart. Raw events may come
// twice for synthetic keys: a press of a key already down and a release of a key already up
// are dropped.
//
// Threads: start() once from any thread; the events are read and handed to the handler on the
// monitor's own thread "vesk.keys", which alone uses display_ and pressed_.
class X11InputMonitor final : public InputMonitor {
 public:
  X11InputMonitor() = default;
  ~X11InputMonitor() override;
  X11InputMonitor(const X11InputMonitor&) = delete;
  X11InputMonitor& operator=(const X11InputMonitor&) = delete;

  bool available() override { return openDisplay() != nullptr; }
  std::string start(Handler handler) override;

 private:
  void watch(Handler handler);
  void seen(int type, unsigned detail, const Handler& handler);

  X11Display display_;
  int opcode_ = 0;
  std::set<unsigned> pressed_;
  WakeSignal stop_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};
