// The transcriber on recorded utterances: decode time over audio time (real-time factor), with
// the words recognised against the words spoken. The audio goes in as the microphone delivers
// it here (48 kHz stereo float in 4096-frame buffers), so conversion is part of the cost.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Recording.h"
#include "listening/output/LineWriter.h"
#include "listening/engine/LiveTranscriber.h"
#include "main/ProcessConsole.h"
#include "platform/linux/pocketsphinx/PocketSphinxEngine.h"
#include "platform/linux/soxr/SoxrConverters.h"

namespace {

const std::string DATA = "/usr/share/pocketsphinx/test/data/";

struct Utterance {
  std::string file;
  std::string words;
};

int overlap(const std::string& spoken, const std::string& heard) {
  std::multiset<std::string> got;
  std::istringstream h(heard);
  for (std::string w; h >> w;) got.insert(w);
  int count = 0;
  std::istringstream s(spoken);
  for (std::string w; s >> w;) {
    auto at = got.find(w);
    if (at != got.end()) {
      ++count;
      got.erase(at);
    }
  }
  return count;
}

int wordCount(const std::string& text) {
  std::istringstream in(text);
  return static_cast<int>(std::distance(std::istream_iterator<std::string>(in), {}));
}

}  // namespace

int main() {
  const std::vector<Utterance> utterances = {
      {"goforward.raw", "go forward ten meters"},
      {"librivox/sense_and_sensibility_01_austen_64kb-0870.wav",
       "and mister john dashwood had then leisure to consider how much there might be prudently "
       "in his power to do for them"},
      {"librivox/sense_and_sensibility_01_austen_64kb-0880.wav", "he was not an ill disposed young man"},
      {"librivox/sense_and_sensibility_01_austen_64kb-0890.wav",
       "unless to be rather cold hearted and rather selfish is to be ill disposed"},
      {"librivox/sense_and_sensibility_01_austen_64kb-0920.wav",
       "had he married a more a amiable woman he might have been made still more respectable than "
       "he was"},
      {"librivox/sense_and_sensibility_01_austen_64kb-0930.wav", "he might even have been made amiable himself"},
  };
  PocketSphinxEngine engine;
  SoxrConverters converters;
  LineWriter lines(ProcessConsole::shared());
  double audioTotal = 0, decodeTotal = 0;
  int spokenTotal = 0, heardTotal = 0;
  for (const auto& utterance : utterances) {
    auto mono = samplesOf(DATA + utterance.file);
    // As the capture delivers: 48 kHz stereo float, 4096 frames a buffer.
    std::vector<float> stereo;
    stereo.reserve(mono.size() * 6);
    for (std::int16_t sample : mono) {
      for (int i = 0; i < 6; ++i) stereo.push_back(sample / 32768.0f);
    }
    const auto loadStart = std::chrono::steady_clock::now();
    auto transcriber = LiveTranscriber::make(engine, converters, lines, "en_US");
    const double load =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - loadStart).count();
    std::mutex mutex;
    std::string finals;
    transcriber->start([&](const std::string& text, bool isFinal) {
      std::lock_guard guard(mutex);
      if (isFinal) finals += (finals.empty() ? "" : " ") + text;
    });
    const PcmFormat format{48000, 2, SampleFormat::Float32, true};
    const auto started = std::chrono::steady_clock::now();
    for (std::size_t at = 0; at < stereo.size(); at += 4096 * 2) {
      const auto frames = static_cast<std::uint32_t>(std::min<std::size_t>(4096, (stereo.size() - at) / 2));
      std::byte* data = reinterpret_cast<std::byte*>(stereo.data() + at);
      transcriber->feed(PcmBuffer::view(format, frames, std::span<std::byte* const>(&data, 1)));
    }
    transcriber->finish(600.0);
    const double decode = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double audio = mono.size() / 16000.0;
    audioTotal += audio;
    decodeTotal += decode;
    const int spoken = wordCount(utterance.words);
    const int heard = overlap(utterance.words, finals);
    spokenTotal += spoken;
    heardTotal += heard;
    std::printf("%s: audio %.2f s, model load %.2f s, decode %.2f s, real-time factor %.3f\n",
                utterance.file.c_str(), audio, load, decode, decode / audio);
    std::printf("  spoken:     %s\n  recognised: %s\n  words matched: %d of %d\n",
                utterance.words.c_str(), finals.c_str(), heard, spoken);
  }
  std::printf("transcriber real-time factor over %.1f s of speech: %.3f; words matched %d of %d "
              "(%.0f%%)\n",
              audioTotal, decodeTotal / audioTotal, heardTotal, spokenTotal,
              100.0 * heardTotal / spokenTotal);
  return 0;
}
