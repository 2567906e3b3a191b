#pragma once

#include <algorithm>
#include <atomic>
#include <memory>

#include "platform/EchoCancellers.h"

// Cancellers that take nothing out: the microphone passes as it is. `unavailable` makes every
// use throw as a platform without the canceller's module does; `failing` gives cancellers whose
// every frame fails.
class FakeEchoCancellers : public EchoCancellers {
 public:
  struct Canceller : EchoCanceller {
    bool failing = false;
    void process(std::span<const std::int16_t> mic, std::span<const std::int16_t>,
                 std::span<std::int16_t> out) override {
      if (failing) throw Failure("the filter diverged");
      std::copy(mic.begin(), mic.end(), out.begin());
    }
    double tail() const override { return 0.25; }
  };

  std::unique_ptr<EchoCanceller> make() override {
    if (unavailable) throw Unavailable("libspeexdsp isn\u2019t installed");
    ++made;
    auto canceller = std::make_unique<Canceller>();
    canceller->failing = failing;
    return canceller;
  }

  std::atomic<bool> unavailable{false};
  std::atomic<bool> failing{false};
  std::atomic<int> made{0};
};
