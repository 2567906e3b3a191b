#pragma once

#include <memory>

#include "platform/EchoCanceller.h"

namespace webrtc {
class AudioProcessing;
}

// The echo canceller of libwebrtc-audio-processing: its extended filter with its own delay
// estimation (the reference may lead the echo by up to TAIL), and its suppression of the echo
// the filter left at a moderate level. Nothing else of the library runs (no gain control, noise
// suppression or high-pass filter), so speech with no echo comes through as it went in.
class WebRtcEchoCanceller : public EchoCanceller {
 public:
  static constexpr double TAIL = 0.25;

  WebRtcEchoCanceller();
  ~WebRtcEchoCanceller() override;

  void process(std::span<const std::int16_t> mic, std::span<const std::int16_t> reference,
               std::span<std::int16_t> out) override;
  double tail() const override { return TAIL; }

 private:
  std::unique_ptr<webrtc::AudioProcessing> processing_;
};
