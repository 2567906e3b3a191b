#pragma once

#include <chrono>
#include <thread>

// Asks the condition again, a pause apart, until it holds or the limit has passed; answers
// whether it held. It is asked once more at the limit, so a slow condition still gets its turn.
template <class Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(5),
                std::chrono::milliseconds pause = std::chrono::milliseconds(50)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(pause);
  }
  return static_cast<bool>(condition());
}
