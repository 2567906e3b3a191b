#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/PcmBuffer.h"

// Interleaved buffers built from sample lists, for tests of the audio path.
template <class Sample>
PcmBuffer pcmOf(double rate, std::uint32_t channels, SampleFormat type,
                const std::vector<Sample>& samples) {
  const auto frames = static_cast<std::uint32_t>(samples.size() / channels);
  PcmBuffer buffer(PcmFormat{rate, channels, type, true}, frames);
  buffer.setFrameLength(frames);
  if (!samples.empty()) {
    std::memcpy(buffer.buffers()[0].data, samples.data(), samples.size() * sizeof(Sample));
  }
  return buffer;
}

inline PcmBuffer floats(double rate, std::uint32_t channels, const std::vector<float>& samples) {
  return pcmOf(rate, channels, SampleFormat::Float32, samples);
}

inline PcmBuffer shorts(double rate, std::uint32_t channels,
                        const std::vector<std::int16_t>& samples) {
  return pcmOf(rate, channels, SampleFormat::Int16, samples);
}

// n frames of 16 kHz mono 16-bit audio all holding one value: for the fake recogniser a word
// code (1, 2, ...) or silence (0).
inline PcmBuffer spoken(std::int16_t code, std::uint32_t frames = 1600) {
  return shorts(16000, 1, std::vector<std::int16_t>(frames, code));
}
