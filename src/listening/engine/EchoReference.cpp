#include "listening/engine/EchoReference.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "listening/engine/EchoAligner.h"
#include "listening/engine/Within.h"
#include "platform/SystemAudio.h"

EchoReference::EchoReference(SystemAudio& audio, std::shared_ptr<EchoAligner> aligner)
    : audio_(audio), aligner_(std::move(aligner)) {}

EchoReference::~EchoReference() { stop(); }

void EchoReference::start(std::chrono::duration<double> limit) {
  {
    std::lock_guard guard(mutex_);
    if (stopped_ || recording_) return;
  }
  const PcmFormat format{EchoAligner::RATE, 1, SampleFormat::Float32, true};
  auto recording = within(limit, [&audio = audio_, aligner = aligner_, format] {
    auto hand = [aligner, samples = std::vector<std::int16_t>()](const PcmBuffer& buffer) mutable {
      const float* in = buffer.samples<float>(0);
      if (!in) return;
      samples.resize(buffer.frameLength());
      for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(std::lround(std::clamp(in[i] * 32768.0f, -32768.0f, 32767.0f)));
      }
      aligner->reference(samples, buffer.capturedAt());
    };
    return audio.record(format, FRAMES_PER_BUFFER, std::move(hand), [](const SoundServerError&) {});
  });
  std::lock_guard guard(mutex_);
  if (!stopped_) recording_ = std::move(recording.stream);
  // Stopped while starting: the recording closes as it goes out of scope.
}

void EchoReference::stop() {
  std::unique_ptr<CaptureStream> recording;
  {
    std::lock_guard guard(mutex_);
    stopped_ = true;
    recording = std::move(recording_);
  }
  recording.reset();
}
