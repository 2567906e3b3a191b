#pragma once

#include <cstdint>
#include <deque>
#include <span>

#include "platform/EchoCanceller.h"

// Takes down the echo an echo canceller leaves, in the 10 ms frames where that echo is all the
// microphone holds: while the canceller is still learning the room, and after, the little it
// leaves. The echo a frame can hold is foretold from the loudness of the sound played just before
// it (over the room's reverberation) times the loudness the echo has in the microphone for each
// step of the sound played (the room's gain, from EchoAligner's searches), times the share of it
// the canceller has lately left in frames where the echo is all there is. A frame whose sound
// after the canceller is well above that is the user talking, and kept whole; one at or below it
// is silenced: what is left of an echo at any level, after silence, the decoder takes for
// speech, and it then hears the user's next words worse. In between, the gain goes smoothly from
// `floor` to whole. Within a frame the gain moves from the last frame's to this one's, so that no
// step is heard.
// Used from the microphone's worker only.
class EchoSuppressor {
 public:
  struct Settings {
    double reverberation = 0.12;  // seconds an echo is heard after the sound played
    double kept = 2.0;            // a frame this many times louder than its echo is kept whole
    double echo = 1.0;            // and one at most as loud as it is echo
    double floor = 0.01;          // the gain of a frame just louder than its echo (-40 dB)
    double hold = 0.5;            // seconds kept whole after a frame of the user's
    double voice = 30;            // and the least loudness of such a frame (about -60 dBFS)
    double echoOnly = 1.5;  // a microphone no louder than this times the room's echo holds no voice
    double echoCame = 0.3;  // and one quieter than this times it has not heard the echo yet
    double leakFall = 9;    // dB a second the share of the echo the canceller leaves falls by
    double leastLeak = 0.05;  // and the least it is taken to be
  };

  EchoSuppressor() : EchoSuppressor(Settings{}) {}
  explicit EchoSuppressor(const Settings& settings);

  // The room's gain: the microphone's loudness for each step of loudness played.
  void setRoomGain(double gain) { roomGain_ = gain; }
  // The frame of the sound played that the next frame's echo starts from, the microphone's
  // frame, then the canceller's output for it, brought down in place where it is echo; all of
  // EchoCanceller::FRAME.
  // `atLeast` is a loudness of the echo the caller foretells, when it knows less well where the
  // echo comes from.
  void apply(std::span<const std::int16_t> played, std::span<const std::int16_t> mic,
             std::span<std::int16_t> cleaned, double atLeast = 0);

  // Mean absolute sample of a frame.
  static double loudness(std::span<const std::int16_t> samples);

 private:
  const Settings settings_;
  const std::size_t reverberationFrames_;
  const int holdFrames_;
  const double leakFall_;  // a frame's factor
  double roomGain_ = 0;
  std::deque<double> played_;  // the loudness of the last frames played, newest last
  double gain_ = 1;
  double leak_ = 1;  // the share of the echo the canceller leaves, at its highest lately
  int heldFor_ = 0;
};
