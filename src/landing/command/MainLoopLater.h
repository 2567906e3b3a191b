#pragma once

#include <asio/io_context.hpp>

#include "landing/Later.h"

// Delayed work on an asio main loop, through one steady timer per call.
// Threads: after() and its Cancel on the loop's thread only.
class MainLoopLater final : public Later {
 public:
  explicit MainLoopLater(asio::io_context& loop) : loop_(loop) {}
  Cancel after(std::chrono::duration<double> delay, std::function<void()> work) override;

 private:
  asio::io_context& loop_;
};
