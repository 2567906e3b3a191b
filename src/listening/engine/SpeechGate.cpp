#include "listening/engine/SpeechGate.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// -60 dBFS: quiet however the room sounds.
constexpr double SILENT = 0.001;
// 12 dB over the room's level is sound.
constexpr double OVER_ROOM = 4.0;
// -34 dBFS and 12 dB over the quiet line is loud: speech goes on, its end is not in this block.
constexpr double LOUD = 0.02;
constexpr double OVER_QUIET = 4.0;
// The room's level rises back by about 4 dB a second of 20 ms blocks, so a louder room is
// learned; it falls at once to anything quieter.
constexpr double ROOM_RISE = 1.01;

}  // namespace

SpeechGate::SpeechGate(double sampleRate)
    : quietSamples_(static_cast<std::size_t>(sampleRate * QUIET_SECONDS)),
      preRollSamples_(static_cast<std::size_t>(sampleRate * PRE_ROLL_SECONDS)) {}

std::pair<bool, bool> SpeechGate::judge(std::span<const std::int16_t> samples) {
  double sum = 0;
  for (std::int16_t sample : samples) sum += static_cast<double>(sample) * sample;
  const double level = std::sqrt(sum / static_cast<double>(samples.size())) / 32768.0;
  room_ = room_ < 0 ? level : std::min(level, room_ * ROOM_RISE);
  const double quietLine = std::max(SILENT, room_ * OVER_ROOM);
  return {level < quietLine, level >= std::max(LOUD, quietLine * OVER_QUIET)};
}

void SpeechGate::pass(std::span<const std::int16_t> samples, bool inSpeech, const Decode& decode) {
  if (samples.empty()) return;
  const auto [isQuiet, loud] = judge(samples);
  if (open_) {
    quietRun_ = isQuiet && !inSpeech ? quietRun_ + samples.size() : 0;
    decode(samples, loud);
    if (quietRun_ >= quietSamples_) open_ = false;
    return;
  }
  if (isQuiet) {
    kept_.insert(kept_.end(), samples.begin(), samples.end());
    if (kept_.size() > preRollSamples_) {
      kept_.erase(kept_.begin(), kept_.end() - static_cast<std::ptrdiff_t>(preRollSamples_));
    }
    return;
  }
  open_ = true;
  quietRun_ = 0;
  if (!kept_.empty()) {
    const std::vector<std::int16_t> before(kept_.begin(), kept_.end());
    kept_.clear();
    decode(before, true);
  }
  decode(samples, loud);
}
