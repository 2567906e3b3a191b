#pragma once

#include <memory>

#include "platform/EchoCanceller.h"

struct SpeexEchoState_;

// The echo canceller of libspeexdsp: its frequency-domain adaptive filter over TAIL seconds of
// the reference, whose own double-talk detection slows its learning while the user talks. Only
// the filter runs: what it leaves of the echo is taken down by EchoSuppressor, which keeps the
// user's voice whole where the library's own suppression of it (its preprocessor) would not.
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

  std::unique_ptr<SpeexEchoState_, EchoFree> echo_;
};
