#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Finds how long after the computer played a sound its echo reaches the microphone: the lag at
// which the loudness of the microphone's sound best follows the loudness of the reference's,
// both taken in steps of one millisecond (the room's reverberation and the speaker's colour
// change the waveform, much less its loudness). Coarse by design: the canceller's own filter
// finds the delay to the sample within its tail.
// Used from one thread at a time.
class EchoDelaySearch {
 public:
  struct Found {
    double delay;       // seconds
    double likeness;    // the correlation of the loudnesses at that lag, up to 1
    // How loud the echo is in the microphone for each step of loudness played: the slope of the
    // one's loudness over the other's, which the user's own voice, unlike the sound played,
    // hardly changes.
    double gain;
  };

  // For sound at `rate`; lags from 0 to maxDelay seconds.
  EchoDelaySearch(double rate, double maxDelay);

  // `mic` is the microphone's latest sound; `reference` the reference's sound over the same span
  // and maxDelay before it (maxDelay longer than mic, ending with the same sample time). The best
  // lag, or none when either is too quiet or nothing alike was heard (likeness below LIKENESS).
  std::optional<Found> search(std::span<const std::int16_t> mic,
                              std::span<const std::int16_t> reference);

  static constexpr double LIKENESS = 0.5;
  // Below this mean loudness (in 16-bit steps) a side has nothing to compare.
  static constexpr double QUIET = 30;

 private:
  void loudness(std::span<const std::int16_t> samples, std::vector<double>& out) const;

  const std::size_t step_;
  const std::size_t lags_;
  std::vector<double> mic_;
  std::vector<double> reference_;
};
