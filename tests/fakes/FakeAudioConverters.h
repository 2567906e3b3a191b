#pragma once

#include <atomic>
#include <cmath>
#include <vector>

#include "platform/AudioConverters.h"

// Converts any float or 16-bit input to mono 16-bit by picking the nearest input frame for each
// output frame (no filter): enough to carry the fake recogniser's word codes through a rate
// change. Like a real filter it may hold back the last frames of each call (heldBack) until the
// next call or flush(). Counts the converters it makes.
class FakeAudioConverters final : public AudioConverters {
 public:
  std::atomic<int> made{0};
  bool refuse = false;
  std::uint32_t heldBack = 0;
  PcmFormat lastFrom;

  class Nearest final : public AudioConverter {
   public:
    Nearest(PcmFormat from, PcmFormat to, std::uint32_t heldBack)
        : from_(from), to_(to), heldBack_(heldBack) {}
    PcmBuffer convert(const PcmBuffer& input) override {
      const double ratio = to_.sampleRate / from_.sampleRate;
      const auto frames = static_cast<std::uint32_t>(std::floor(input.frameLength() * ratio));
      const std::size_t stride = from_.interleaved ? from_.channels : 1;
      for (std::uint32_t i = 0; i < frames; ++i) {
        const auto at = static_cast<std::size_t>(i / ratio) * stride;
        if (from_.sampleFormat == SampleFormat::Int16) {
          held_.push_back(input.samples<std::int16_t>(0)[at]);
        } else if (from_.sampleFormat == SampleFormat::Float32) {
          held_.push_back(static_cast<std::int16_t>(std::lround(input.samples<float>(0)[at] * 32768.0f)));
        } else {
          throw Failure("unsupported input");
        }
      }
      return take(held_.size() > heldBack_ ? held_.size() - heldBack_ : 0);
    }
    PcmBuffer flush() override { return take(held_.size()); }

   private:
    PcmBuffer take(std::size_t frames) {
      PcmBuffer output(to_, static_cast<std::uint32_t>(frames));
      output.setFrameLength(static_cast<std::uint32_t>(frames));
      std::copy_n(held_.begin(), frames, output.samples<std::int16_t>(0));
      held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(frames));
      return output;
    }

    PcmFormat from_;
    PcmFormat to_;
    std::uint32_t heldBack_;
    std::vector<std::int16_t> held_;
  };

  std::unique_ptr<AudioConverter> make(const PcmFormat& from, const PcmFormat& to) override {
    lastFrom = from;
    if (refuse) return nullptr;
    ++made;
    return std::make_unique<Nearest>(from, to, heldBack);
  }
};
