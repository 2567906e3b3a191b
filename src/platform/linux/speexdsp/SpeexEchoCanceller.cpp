#include "platform/linux/speexdsp/SpeexEchoCanceller.h"

#include <speex/speex_echo.h>

#include <cmath>

namespace {

constexpr int RATE = static_cast<int>(EchoCanceller::SAMPLE_RATE);
constexpr int FRAME = static_cast<int>(EchoCanceller::FRAME);

}  // namespace

void SpeexEchoCanceller::EchoFree::operator()(SpeexEchoState_* state) const {
  speex_echo_state_destroy(state);
}

SpeexEchoCanceller::SpeexEchoCanceller()
    : echo_(speex_echo_state_init(FRAME, static_cast<int>(std::lround(TAIL * RATE)))) {
  if (!echo_) throw Failure("libspeexdsp could not make its echo canceller");
  int rate = RATE;
  if (speex_echo_ctl(echo_.get(), SPEEX_ECHO_SET_SAMPLING_RATE, &rate) != 0) {
    throw Failure("libspeexdsp refused the sample rate");
  }
}

void SpeexEchoCanceller::process(std::span<const std::int16_t> mic,
                                 std::span<const std::int16_t> reference,
                                 std::span<std::int16_t> out) {
  if (mic.size() != FRAME || reference.size() != FRAME || out.size() != FRAME) {
    throw Failure("an echo frame must be 10 ms");
  }
  speex_echo_cancellation(echo_.get(), mic.data(), reference.data(), out.data());
}
