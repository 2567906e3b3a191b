#pragma once

#include <thread>

#include "platform/SleepNotice.h"

// The login manager's PrepareForSleep(true) signal on the system bus. watch() starts a thread
// ("vesk.sleep") that runs a GLib main context of its own: it reaches the system bus (giving up
// after a time limit, or at once when there is none), subscribes to the signal and calls the
// handler from there.
//
// Threads: watch() from any thread, once per notice; everything else runs on the notice's
// thread, which lives as long as the process.
class GioSleepNotice : public SleepNotice {
 public:
  void watch(std::function<void()> willSleep) override;
};
