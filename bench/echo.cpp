// The echo canceller of "me" in a meeting (libspeexdsp's filter behind EchoAligner and its
// EchoSuppressor), on sound made with sox: the other side's speech played at half level through
// a reverberant room into the microphone. Prints the echo return loss enhancement (ERLE) from
// 2 s on at 60 ms and 200 ms from speaker to microphone and with 100 ppm between the two devices'
// clocks, and from the first echo on with what the decoder hears of the echo alone; what is kept
// of the user's speech when both talk (and the words the decoder hears of it), and when the
// microphone hears no echo (headphones); and the canceller's CPU time as a share of one decoder's
// on the same sound (its peer, measured in the same run). libwebrtc-audio-processing's canceller,
// measured the same way, reached 28.8 dB by itself but kept only 9 of the 22 words when both
// talk, and 4 behind the suppressor.
// Usage: bench_echo. Run by `make bench`.
#include <time.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "EchoScene.h"
#include "Recordings.h"
#include "platform/linux/pocketsphinx/PocketSphinxDecoder.h"
#include "platform/linux/speexdsp/SpeexEchoCanceller.h"

namespace {

using namespace echo_scene;

double cpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec / 1e9;
}

std::string heard(PocketSphinxDecoder& decoder, const std::vector<std::int16_t>& samples) {
  std::string words;
  bool speech = false;
  decoder.startUtterance();
  for (std::size_t at = 0; at < samples.size(); at += 1600) {
    decoder.process(std::span(samples).subspan(at, std::min<std::size_t>(1600, samples.size() - at)));
    if (decoder.inSpeech()) {
      speech = true;
    } else if (speech) {
      speech = false;
      words.append(" ").append(decoder.endUtterance());
      decoder.startUtterance();
    }
  }
  return words.append(" ").append(decoder.endUtterance());
}

// How much of the near-end speech the output keeps, in dB (0: all of it): the output's share
// along the speech from `from` seconds on, at the lag (up to 20 ms) the canceller delays it by.
inline double keptDb(const std::vector<std::int16_t>& near, const std::vector<std::int16_t>& out,
                     double from) {
  double best = 1e-6;
  for (std::size_t lag = 0; lag <= 320; lag += 16) {
    double along = 0, self = 1e-9;
    for (auto i = static_cast<std::size_t>(from * 16000); i + lag < std::min(near.size(), out.size()); ++i) {
      along += double(out[i + lag]) * near[i];
      self += double(near[i]) * near[i];
    }
    best = std::max(best, along / self);
  }
  return 20 * std::log10(best);
}

struct Candidate {
  const char* name;
  std::function<std::unique_ptr<EchoCanceller>()> make;
};

}  // namespace

int main() {
  const Candidate candidates[] = {
      {"speexdsp", [] { return std::make_unique<SpeexEchoCanceller>(); }},
  };
  const Scene at60 = sceneOf({0.06, 0}), at200 = sceneOf({0.2, 0}), drifting = sceneOf({0.06, 100});
  const Scene both = sceneOf({0.06, 0, true}), headphones = sceneOf({0.06, 0, true, false});
  if (at60.mic.empty()) {
    std::printf("sox or the test recordings are missing\n");
    return 1;
  }
  PocketSphinxDecoder decoder("/usr/share/pocketsphinx/model/en-us", "en-us", "en-us.lm.bin",
                              "cmudict-en-us.dict");
  const std::string spoken = recordings()[1].words;
  const int words = wordCount(spoken);
  const double decodeStart = cpuSeconds();
  heard(decoder, at60.mic);
  const double decoding = cpuSeconds() - decodeStart;
  std::printf("user's words heard with no echo: %d of %d; with the echo left in: %d\n",
              wordsMatched(spoken, heard(decoder, headphones.mic)), words,
              wordsMatched(spoken, heard(decoder, both.mic)));
  for (const auto& candidate : candidates) {
    const double start = cpuSeconds();
    const auto out60 = cancelled(at60, candidate.make());
    const double used = cpuSeconds() - start;
    const auto outBoth = cancelled(both, candidate.make());
    const auto outHeadphones = cancelled(headphones, candidate.make());
    std::printf("%s: ERLE from 2 s after the first echo (target at least 25 dB): %.1f dB at 60 ms, "
                "%.1f dB at 200 ms, %.1f dB at 60 ms with 100 ppm\n",
                candidate.name, lossDb(at60.mic, out60, LEAD + 2),
                lossDb(at200.mic, cancelled(at200, candidate.make()), LEAD + 2),
                lossDb(drifting.mic, cancelled(drifting, candidate.make()), LEAD + 2));
    std::string echoHeard;
    std::istringstream echoWords(heard(decoder, out60));
    for (std::string word; echoWords >> word;) echoHeard += (echoHeard.empty() ? "" : " ") + word;
    std::printf("%s: ERLE from the first echo on: %.1f dB, %.1f dB in its first 2 s; the decoder "
                "hears in the echo alone: \"%s\" (target nothing)\n",
                candidate.name, lossDb(at60.mic, out60, LEAD),
                lossDb(at60.mic, out60, LEAD, LEAD + 2), echoHeard.c_str());
    std::printf("%s: both talking: %.1f dB of the user's speech kept, %d of %d words heard (target at "
                "least half); no echo (headphones): %.2f dB kept\n",
                candidate.name, keptDb(both.near, outBoth, NEAR_FROM),
                wordsMatched(spoken, heard(decoder, outBoth)), words,
                keptDb(headphones.near, outHeadphones, NEAR_FROM));
    std::printf("%s: CPU %.3f s for %.1f s of sound, %.1f%% of one decoder's %.3f s (target at "
                "most 15%%)\n",
                candidate.name, used, at60.mic.size() / 16000.0, 100 * used / decoding, decoding);
  }
  return 0;
}
