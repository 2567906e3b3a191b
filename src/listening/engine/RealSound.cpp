#include "listening/engine/RealSound.h"

#include <cmath>

bool isRealSound(const PcmBuffer& buffer) {
  const std::uint32_t frames = buffer.frameLength();
  if (frames == 0) return false;
  const PcmFormat& format = buffer.format();
  const float* samples = buffer.samples<float>(0);
  if (format.sampleFormat != SampleFormat::Float32 || samples == nullptr) return true;
  const std::size_t stride = format.interleaved ? format.channels : 1;
  float sum = 0.0f;
  for (std::uint32_t i = 0; i < frames; ++i) {
    const float sample = samples[i * stride];
    sum += sample * sample;
  }
  return std::sqrt(sum / static_cast<float>(frames)) > DICTATE_SOUND_LEVEL;
}
