#include "listening/engine/EchoSuppressor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

double EchoSuppressor::loudness(std::span<const std::int16_t> samples) {
  if (samples.empty()) return 0;
  double sum = 0;
  for (const std::int16_t sample : samples) sum += std::abs(sample);
  return sum / static_cast<double>(samples.size());
}

namespace {

constexpr double FRAME_SECONDS = static_cast<double>(EchoCanceller::FRAME) / EchoCanceller::SAMPLE_RATE;

// How many frames of 10 ms last about `seconds`, at least one.
int framesOf(double seconds) {
  return std::max(1, static_cast<int>(std::lround(seconds / FRAME_SECONDS)));
}

}  // namespace

EchoSuppressor::EchoSuppressor(const Settings& settings)
    : settings_(settings),
      reverberationFrames_(static_cast<std::size_t>(framesOf(settings.reverberation))),
      holdFrames_(framesOf(settings.hold)),
      leakFall_(std::pow(10.0, -settings.leakFall * FRAME_SECONDS / 20)) {}

void EchoSuppressor::apply(std::span<const std::int16_t> played, std::span<const std::int16_t> mic,
                           std::span<std::int16_t> cleaned, double atLeast) {
  played_.push_back(loudness(played));
  while (played_.size() > reverberationFrames_) played_.pop_front();
  const double raw = std::max(roomGain_ * *std::max_element(played_.begin(), played_.end()), atLeast);
  const double heard = loudness(mic);
  // The canceller only takes sound out. A frame it made louder holds its own error (its filter
  // is off the echo, as when the last sound of an output never reached the speaker), so the
  // microphone's frame is judged instead.
  double left = loudness(cleaned);
  if (left > heard) {
    std::copy(mic.begin(), mic.end(), cleaned.begin());
    left = heard;
  }
  // In a frame no louder than the echo the room gives, the user is not talking: what the
  // canceller leaves of it is how much of the echo it leaves. That share is kept at its highest,
  // falling slowly, and the echo foretold is what the canceller leaves, so that the user talking
  // over the other side is kept as soon as they are louder than that. A frame well below the
  // echo foretold has not heard it yet (it is foretold a little early): what it holds is the
  // user starting to talk as the other side does, or next to nothing, and tells nothing of the
  // canceller.
  const bool echoOnly = heard >= settings_.voice && heard >= raw * settings_.echoCame &&
                        heard <= raw * settings_.echoOnly;
  if (echoOnly) {
    leak_ = std::max(left / heard, leak_ * leakFall_);
  } else {
    leak_ *= leakFall_;
  }
  const double echo = raw * std::clamp(leak_, settings_.leastLeak, 1.0);
  double gain = 1;
  if (echo > 0) {
    // Between the two bounds, the gain in dB follows the frame's loudness over its echo's in dB.
    const double over = std::log(std::max(left, 1e-3) / echo);
    const double low = std::log(settings_.echo), high = std::log(settings_.kept);
    const double share = std::clamp((over - low) / (high - low), 0.0, 1.0);
    gain = share > 0 ? std::pow(settings_.floor, 1 - share) : 0;
  }
  // The user's voice goes on for a while after a frame that was surely theirs: its quieter
  // ends and consonants are kept with it. A frame too quiet to be a voice is never surely theirs,
  // though it be well above an echo that starts from next to nothing.
  if (gain >= 1 && left >= settings_.voice) {
    heldFor_ = holdFrames_;
  } else if (heldFor_ > 0) {
    --heldFor_;
    gain = 1;
  }
  const double from = gain_;
  const auto count = static_cast<double>(cleaned.size());
  for (std::size_t i = 0; i < cleaned.size(); ++i) {
    const double at = from + (gain - from) * (static_cast<double>(i) + 1) / count;
    cleaned[i] = static_cast<std::int16_t>(std::lround(cleaned[i] * at));
  }
  gain_ = gain;
}
