#pragma once

#include <memory>

#include "platform/EchoCanceller.h"

struct SpeexEchoState_;
struct SpeexPreprocessState_;

// The echo canceller of libspeexdsp: a frequency-domain adaptive filter over TAIL seconds of the
// reference, whose own double-talk detection slows its adaptation while the user talks, then
// the preprocessor's suppression of the echo the filter left (residual echo), told the filter's
// state. The preprocessor's noise suppression is kept to a few dB, so that speech with no echo
// comes through as it went in.
class SpeexEchoCanceller : public EchoCanceller {
 public:
  static constexpr double TAIL = 0.256;

  SpeexEchoCanceller();

  void process(std::span<const std::int16_t> mic, std::span<const std::int16_t> reference,
               std::span<std::int16_t> out) override;
  double tail() const override { return TAIL; }

 private:
  struct EchoFree {
    void operator()(SpeexEchoState_* state) const;
  };
  struct PreprocessFree {
    void operator()(SpeexPreprocessState_* state) const;
  };

  std::unique_ptr<SpeexEchoState_, EchoFree> echo_;
  std::unique_ptr<SpeexPreprocessState_, PreprocessFree> preprocess_;
};
