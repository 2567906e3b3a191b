#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>

// Takes the computer's own sound out of the microphone: one adaptive filter per microphone,
// fed 10 ms at a time with the microphone's frame and the frame of the computer's sound that
// was played at the same time (both 16 kHz mono 16-bit). The echo may come up to tail()
// seconds after its reference frame; the filter finds it within that span and follows a room
// that changes. When the user talks over the other side, the user's voice is kept.
// Exists so tests can replace it. Used from one thread at a time.
class EchoCanceller {
 public:
  struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
  };

  static constexpr double SAMPLE_RATE = 16000;
  static constexpr std::size_t FRAME = 160;  // 10 ms

  virtual ~EchoCanceller() = default;

  // One frame: `out` gets the microphone without the echo of `reference`. Every span holds
  // FRAME samples; `out` may not overlap the others. Throws Failure.
  virtual void process(std::span<const std::int16_t> mic, std::span<const std::int16_t> reference,
                       std::span<std::int16_t> out) = 0;
  // How long after its reference frame an echo can still be taken out, in seconds.
  virtual double tail() const = 0;
};
