#pragma once

// Sound for measuring an echo canceller: the other side's speech played through a room (sox:
// level, reverberation, delay, the two devices' clock difference) into a microphone with a little
// noise and, for double talk, the user's own speech; run through an EchoAligner with the capture
// times two real streams would carry. Header-only, for the tests and the benchmark.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "listening/engine/EchoAligner.h"

namespace echo_scene {

inline const std::string DATA = "/usr/share/pocketsphinx/test/data/librivox/sense_and_sensibility_01_austen_64kb-";

// What sox writes for its arguments (inputs and effects), as 16 kHz mono 16-bit samples.
inline std::vector<std::int16_t> sox(const std::string& inputs, const std::string& effects = "") {
  const std::string command =
      "sox " + inputs + " -t raw -r 16000 -e signed -b 16 -c 1 - " + effects + " 2>/dev/null";
  std::vector<std::int16_t> samples;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return samples;
  std::int16_t block[4096];
  for (std::size_t n; (n = std::fread(block, 2, 4096, pipe.get())) > 0;) {
    samples.insert(samples.end(), block, block + n);
  }
  return samples;
}

struct Room {
  double delay;  // seconds from the speaker to the microphone
  double ppm;    // how much faster the speaker's clock runs than the microphone's
  bool nearTalk = false;  // the user talks too, from the third second
  bool echo = true;       // false: headphones, the microphone hears no echo
};

struct Scene {
  std::vector<std::int16_t> reference;  // what the computer played
  std::vector<std::int16_t> near;       // the user's own speech, as the microphone heard it
  std::vector<std::int16_t> mic;        // echo + near + noise
  double ppm = 0;
};

inline const std::string THEIRS = DATA + "0920.wav " + DATA + "0880.wav";
inline const std::string MINE = DATA + "0870.wav";
// The meeting has run this long, in silence, when the other side first speaks.
inline constexpr double LEAD = 1.0;
inline constexpr double NEAR_FROM = LEAD + 3.0;

inline Scene sceneOf(const Room& room) {
  Scene scene;
  scene.ppm = room.ppm;
  scene.reference = sox(THEIRS);
  scene.reference.insert(scene.reference.begin(), static_cast<std::size_t>(LEAD * 16000), 0);
  char effects[160];
  std::snprintf(effects, sizeof effects, "vol 0.5 reverb 50 50 60 pad %.3f speed %.7f rate 16000",
                room.delay, 1 + room.ppm * 1e-6);
  auto echo = room.echo ? sox(THEIRS, effects) : std::vector<std::int16_t>{};
  if (room.echo) echo.insert(echo.begin(), static_cast<std::size_t>(LEAD * 16000), 0);
  const auto mine = room.nearTalk ? sox(MINE) : std::vector<std::int16_t>{};
  const auto from = static_cast<std::size_t>(NEAR_FROM * 16000);
  const std::size_t length = std::max(scene.reference.size(), mine.empty() ? 0 : from + mine.size());
  scene.reference.resize(length);
  echo.resize(length);
  scene.near.assign(length, 0);
  std::copy(mine.begin(), mine.end(), scene.near.begin() + (mine.empty() ? 0 : long(from)));
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0, 8);
  scene.mic.resize(length);
  for (std::size_t i = 0; i < scene.mic.size(); ++i) {
    const double value = echo[i] + scene.near[i] + noise(random);
    scene.mic[i] = static_cast<std::int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
  }
  return scene;
}

// The microphone through an aligner over the canceller, 20 ms at a time, each chunk with its
// capture time as the server would give it (a millisecond of jitter); the reference ahead of
// the microphone, as the monitor's is.
inline std::vector<std::int16_t> cancelled(const Scene& scene, std::unique_ptr<EchoCanceller> canceller) {
  EchoAligner aligner(std::move(canceller), nullptr);
  std::vector<std::int16_t> out;
  std::mt19937 random(3);
  std::uniform_real_distribution<double> jitter(-0.001, 0.001);
  const std::size_t chunk = 320;
  const double referenceRate = 16000 * (1 + scene.ppm * 1e-6);
  for (std::size_t at = 0; at + chunk <= scene.mic.size(); at += chunk) {
    aligner.reference(std::span(scene.reference).subspan(at, chunk), 100 + at / referenceRate + jitter(random));
    aligner.mic(std::span(scene.mic).subspan(at, chunk), 100 + at / 16000.0 + jitter(random), out);
  }
  aligner.flush(out);
  return out;
}

inline double power(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to) {
  double sum = 1e-9;
  for (std::size_t i = from; i < std::min(to, samples.size()); ++i) sum += double(samples[i]) * samples[i];
  return sum;
}

// How much quieter the output is than the input from `from` seconds on (to `to`, or the end), in
// dB: the echo return loss enhancement when the input is echo alone.
inline double lossDb(const std::vector<std::int16_t>& in, const std::vector<std::int16_t>& out, double from,
                     double to = 1e9) {
  const auto a = static_cast<std::size_t>(from * 16000);
  const std::size_t b = std::min(out.size(), static_cast<std::size_t>(std::min(to * 16000, 1e12)));
  return 10 * std::log10(power(in, a, b) / power(out, a, b));
}

}  // namespace echo_scene
