#include "platform/linux/webrtc/WebRtcEchoCanceller.h"

#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>

#include <algorithm>
#include <string>

namespace {

constexpr int RATE = static_cast<int>(EchoCanceller::SAMPLE_RATE);

void check(int code, const char* what) {
  if (code != webrtc::AudioProcessing::kNoError) {
    throw EchoCanceller::Failure(std::string("libwebrtc-audio-processing: ") + what + " (" +
                                 std::to_string(code) + ")");
  }
}

void fill(webrtc::AudioFrame& frame, std::span<const std::int16_t> samples) {
  frame.sample_rate_hz_ = RATE;
  frame.num_channels_ = 1;
  frame.samples_per_channel_ = samples.size();
  std::copy(samples.begin(), samples.end(), frame.data_);
}

}  // namespace

WebRtcEchoCanceller::WebRtcEchoCanceller() {
  webrtc::Config config;
  config.Set<webrtc::ExtendedFilter>(new webrtc::ExtendedFilter(true));
  config.Set<webrtc::DelayAgnostic>(new webrtc::DelayAgnostic(true));
  processing_.reset(webrtc::AudioProcessing::Create(config));
  if (!processing_) throw Failure("libwebrtc-audio-processing could not make its processor");
  check(processing_->echo_cancellation()->enable_drift_compensation(false), "drift compensation");
  check(processing_->echo_cancellation()->set_suppression_level(
            webrtc::EchoCancellation::kModerateSuppression),
        "suppression level");
  check(processing_->echo_cancellation()->Enable(true), "echo cancellation");
}

WebRtcEchoCanceller::~WebRtcEchoCanceller() = default;

void WebRtcEchoCanceller::process(std::span<const std::int16_t> mic,
                                  std::span<const std::int16_t> reference,
                                  std::span<std::int16_t> out) {
  if (mic.size() != FRAME || reference.size() != FRAME || out.size() != FRAME) {
    throw Failure("an echo frame must be 10 ms");
  }
  webrtc::AudioFrame far;
  fill(far, reference);
  check(processing_->ProcessReverseStream(&far), "the reference frame");
  webrtc::AudioFrame near;
  fill(near, mic);
  // The frames come aligned: what is left is the room's own delay, which the filter finds.
  check(processing_->set_stream_delay_ms(0), "the delay");
  check(processing_->ProcessStream(&near), "the microphone frame");
  std::copy_n(near.data_, FRAME, out.begin());
}
