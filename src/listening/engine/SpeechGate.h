#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <utility>

// In front of a decoder, so that long quiet is not decoded at all. A block is quiet when its
// level stays within 12 dB of the quietest level heard lately (the room), or below -60 dBFS. The
// gate closes only once the decoder, out of speech, has been given QUIET_SECONDS of quiet since
// the last sound, so it still hears where the speech ended and settles the phrase as soon as
// ever. A block is loud when its level is 12 dB over the quiet line and over -34 dBFS. While closed it keeps the last PRE_ROLL_SECONDS, which go in ahead of the sound that
// opens it, so no word loses its start.
//
// Threads: the voice's worker alone.
class SpeechGate {
 public:
  // loud: whether the samples are well over quiet (speech clearly goes on; the kept quiet before
  // sound counts as loud), rather than quiet or near it, where speech may be ending.
  using Decode = std::function<void(std::span<const std::int16_t> samples, bool loud)>;

  static constexpr double QUIET_SECONDS = 0.6;
  static constexpr double PRE_ROLL_SECONDS = 0.3;

  explicit SpeechGate(double sampleRate);

  // Hands decode what of the block the decoder should hear: the block itself while open, the
  // kept sound and then the block when the block opens it, nothing while closed. inSpeech:
  // whether the decoder is within an utterance.
  void pass(std::span<const std::int16_t> samples, bool inSpeech, const Decode& decode);

 private:
  // The block's level against the room's: whether it is quiet, and whether it is loud.
  std::pair<bool, bool> judge(std::span<const std::int16_t> samples);

  const std::size_t quietSamples_;
  const std::size_t preRollSamples_;
  bool open_ = true;
  std::size_t quietRun_ = 0;  // quiet samples decoded since the last sound
  double room_ = -1;          // the room's level (RMS, full scale 1); below 0 before the first block
  std::deque<std::int16_t> kept_;
};
