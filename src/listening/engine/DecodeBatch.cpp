#include "listening/engine/DecodeBatch.h"

DecodeBatch::DecodeBatch(double sampleRate)
    : batchSamples_(static_cast<std::size_t>(sampleRate * BATCH_SECONDS)) {
  held_.reserve(batchSamples_);
}

void DecodeBatch::add(std::span<const std::int16_t> samples, bool loud, const Decode& decode) {
  if (samples.empty()) return;
  if (loud && held_.size() + samples.size() < batchSamples_) {
    held_.insert(held_.end(), samples.begin(), samples.end());
    return;
  }
  if (held_.empty()) {
    decode(samples);
    return;
  }
  held_.insert(held_.end(), samples.begin(), samples.end());
  flush(decode);
}

void DecodeBatch::flush(const Decode& decode) {
  if (held_.empty()) return;
  decode(held_);
  held_.clear();
}
