// The transcriber on recorded utterances: decode time over audio time (real-time factor), with
// the words recognised against the words spoken, for the decoder settings dictation uses and for
// the library's own (as the dictation landed), one lever at a time. The audio goes in as the
// microphone delivers it (16 kHz mono float in 20 ms buffers), so conversion is part of the cost.
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

#include "Recordings.h"
#include "base/LineWriter.h"
#include "listening/engine/LiveTranscriber.h"
#include "base/ProcessConsole.h"
#include "platform/linux/pocketsphinx/PocketSphinxDecoder.h"
#include "platform/linux/pocketsphinx/PocketSphinxEngine.h"
#include "platform/linux/soxr/SoxrConverters.h"

namespace {

// The packaged engine, loading its decoder with the settings under test.
class TunedEngine final : public SpeechEngine {
 public:
  explicit TunedEngine(PocketSphinxDecoder::Tuning tuning) : tuning_(tuning) {}
  std::optional<std::string> supportedLocale(const std::string& id) override {
    return engine_.supportedLocale(id);
  }
  std::optional<std::string> missingModel(const std::string& locale) override {
    return engine_.missingModel(locale);
  }
  PcmFormat audioFormat() override { return engine_.audioFormat(); }
  std::unique_ptr<SpeechDecoder> load(const std::string&) override {
    return std::make_unique<PocketSphinxDecoder>("/usr/share/pocketsphinx/model/en-us", "en-us",
                                                 "en-us.lm.bin", "cmudict-en-us.dict", tuning_);
  }

 private:
  PocketSphinxEngine engine_;
  PocketSphinxDecoder::Tuning tuning_;
};

}  // namespace

int main() {
  struct Setting {
    const char* name;
    PocketSphinxDecoder::Tuning tuning;
  };
  const PocketSphinxDecoder::Tuning used = PocketSphinxDecoder::liveTuning();
  const std::vector<Setting> settings = {
      {"library defaults (landed): post-speech 50 frames, second passes on", {50, true}},
      {"post-speech frames as dictation uses, second passes on", {used.postSpeechFrames, true}},
      {"post-speech 50 frames, second passes as dictation uses", {50, used.secondPasses}},
      {"dictation's settings", used},
  };
  SoxrConverters converters;
  LineWriter lines(ProcessConsole::shared());
  for (const auto& setting : settings) {
    TunedEngine engine(setting.tuning);
    double audioTotal = 0, decodeTotal = 0;
    int spokenTotal = 0, heardTotal = 0;
    for (const auto& utterance : recordings()) {
      auto mono = samplesOf(RECORDINGS_FOLDER + utterance.file);
      std::vector<float> samples;
      samples.reserve(mono.size());
      for (std::int16_t sample : mono) samples.push_back(sample / 32768.0f);
      auto transcriber = LiveTranscriber::make(engine, converters, lines, "en_US");
      std::mutex mutex;
      std::string finals;
      transcriber->start([&](const std::string& text, bool isFinal) {
        std::lock_guard guard(mutex);
        if (isFinal) finals += (finals.empty() ? "" : " ") + text;
      });
      const PcmFormat format{16000, 1, SampleFormat::Float32, true};
      const auto started = std::chrono::steady_clock::now();
      for (std::size_t at = 0; at < samples.size(); at += 320) {
        const auto frames = static_cast<std::uint32_t>(std::min<std::size_t>(320, samples.size() - at));
        std::byte* data = reinterpret_cast<std::byte*>(samples.data() + at);
        transcriber->feed(PcmBuffer::view(format, frames, std::span<std::byte* const>(&data, 1)));
      }
      transcriber->finish(600.0);
      decodeTotal += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      audioTotal += mono.size() / 16000.0;
      spokenTotal += wordCount(utterance.words);
      heardTotal += wordsMatched(utterance.words, finals);
    }
    std::printf("%s: real-time factor %.3f over %.1f s of speech; words matched %d of %d\n",
                setting.name, decodeTotal / audioTotal, audioTotal, heardTotal, spokenTotal);
  }
  return 0;
}
