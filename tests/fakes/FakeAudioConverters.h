#pragma once

#include <atomic>
#include <cmath>

#include "platform/AudioConverters.h"

// Converts any float or 16-bit input to mono 16-bit by picking the nearest input frame for each
// output frame (no filter): enough to carry the fake recogniser's word codes through a rate
// change. Counts the converters it makes.
class FakeAudioConverters final : public AudioConverters {
 public:
  std::atomic<int> made{0};
  bool refuse = false;
  PcmFormat lastFrom;

  class Nearest final : public AudioConverter {
   public:
    Nearest(PcmFormat from, PcmFormat to) : from_(from), to_(to) {}
    void convert(const PcmBuffer& input, PcmBuffer& output) override {
      const double ratio = to_.sampleRate / from_.sampleRate;
      auto frames = static_cast<std::uint32_t>(std::floor(input.frameLength() * ratio));
      frames = std::min(frames, output.frameCapacity());
      auto* out = output.samples<std::int16_t>(0);
      const std::size_t stride = from_.interleaved ? from_.channels : 1;
      for (std::uint32_t i = 0; i < frames; ++i) {
        const auto at = static_cast<std::size_t>(i / ratio) * stride;
        if (from_.sampleFormat == SampleFormat::Int16) {
          out[i] = input.samples<std::int16_t>(0)[at];
        } else if (from_.sampleFormat == SampleFormat::Float32) {
          out[i] = static_cast<std::int16_t>(std::lround(input.samples<float>(0)[at] * 32768.0f));
        } else {
          throw Failure("unsupported input");
        }
      }
      output.setFrameLength(frames);
    }

   private:
    PcmFormat from_;
    PcmFormat to_;
  };

  std::unique_ptr<AudioConverter> make(const PcmFormat& from, const PcmFormat& to) override {
    lastFrom = from;
    if (refuse) return nullptr;
    ++made;
    return std::make_unique<Nearest>(from, to);
  }
};
