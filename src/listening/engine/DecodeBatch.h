#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// Between the speech gate and the decoder: each call into the decoder costs a fixed share of
// work, so while the sound is loud (the end of a phrase is not near) what the gate lets through
// is held and handed over in pieces of BATCH_SECONDS; a block that is not loud, where speech may
// be ending, goes in at once with what is held, so the decoder hears the end of a phrase as soon
// as ever.
//
// Threads: the voice's worker alone.
class DecodeBatch {
 public:
  using Decode = std::function<void(std::span<const std::int16_t> samples)>;

  static constexpr double BATCH_SECONDS = 0.16;

  explicit DecodeBatch(double sampleRate);

  // loud: whether the block is well over quiet (speech goes on) rather than near or in quiet.
  void add(std::span<const std::int16_t> samples, bool loud, const Decode& decode);
  // Hands over what is held (at the end of input).
  void flush(const Decode& decode);

 private:
  const std::size_t batchSamples_;
  std::vector<std::int16_t> held_;
};
