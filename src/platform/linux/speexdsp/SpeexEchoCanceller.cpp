#include "platform/linux/speexdsp/SpeexEchoCanceller.h"

#include <speex/speex_echo.h>
#include <speex/speex_preprocess.h>

#include <cmath>

namespace {

constexpr int RATE = static_cast<int>(EchoCanceller::SAMPLE_RATE);
constexpr int FRAME = static_cast<int>(EchoCanceller::FRAME);

// Sets one control, which libspeexdsp answers with 0 when it took it.
template <class State, class Value>
void control(int (*ctl)(State*, int, void*), State* state, int request, Value value) {
  if (ctl(state, request, &value) != 0) throw EchoCanceller::Failure("libspeexdsp refused a setting");
}

}  // namespace

void SpeexEchoCanceller::EchoFree::operator()(SpeexEchoState_* state) const {
  speex_echo_state_destroy(state);
}

void SpeexEchoCanceller::PreprocessFree::operator()(SpeexPreprocessState_* state) const {
  speex_preprocess_state_destroy(state);
}

SpeexEchoCanceller::SpeexEchoCanceller()
    : echo_(speex_echo_state_init(FRAME, static_cast<int>(std::lround(TAIL * RATE)))),
      preprocess_(speex_preprocess_state_init(FRAME, RATE)) {
  if (!echo_ || !preprocess_) throw Failure("libspeexdsp could not make its echo canceller");
  control(speex_echo_ctl, echo_.get(), SPEEX_ECHO_SET_SAMPLING_RATE, RATE);
  // The preprocessor takes the filter's state itself, not its address.
  if (speex_preprocess_ctl(preprocess_.get(), SPEEX_PREPROCESS_SET_ECHO_STATE, echo_.get()) != 0) {
    throw Failure("libspeexdsp refused a setting");
  }
  // The suppression of residual echo works through the noise suppressor's gains, so that stays
  // on, with its floor for noise raised from -15 dB to -6 dB.
  control(speex_preprocess_ctl, preprocess_.get(), SPEEX_PREPROCESS_SET_NOISE_SUPPRESS, -6);
}

void SpeexEchoCanceller::process(std::span<const std::int16_t> mic,
                                 std::span<const std::int16_t> reference,
                                 std::span<std::int16_t> out) {
  if (mic.size() != FRAME || reference.size() != FRAME || out.size() != FRAME) {
    throw Failure("an echo frame must be 10 ms");
  }
  speex_echo_cancellation(echo_.get(), mic.data(), reference.data(), out.data());
  speex_preprocess_run(preprocess_.get(), out.data());
}
