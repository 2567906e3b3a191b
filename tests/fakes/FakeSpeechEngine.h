#pragma once

#include <atomic>
#include <chrono>
#include <thread>
#include <deque>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/SpeechEngine.h"

// A recogniser whose words the test writes: each sample value above 0 in the audio is a word
// index into `words` spoken now (speech), 0 is silence. The hypothesis is the words heard since
// the utterance began.
class FakeSpeechDecoder final : public SpeechDecoder {
 public:
  explicit FakeSpeechDecoder(std::vector<std::string> words) : words_(std::move(words)) {}

  void startUtterance() override {
    heard_.clear();
    ++utterances;
  }
  void process(std::span<const std::int16_t> samples) override {
    if (failAfter >= 0 && processed >= failAfter) throw std::runtime_error("decoder broke");
    if (delay.count() > 0) std::this_thread::sleep_for(delay);
    ++processed;
    speech_ = false;
    for (std::int16_t sample : samples) {
      if (sample <= 0 || static_cast<std::size_t>(sample) > words_.size()) continue;
      speech_ = true;
      const std::string& word = words_[static_cast<std::size_t>(sample) - 1];
      if (heardLast_ != sample) heard_ += (heard_.empty() ? "" : " ") + word;
      heardLast_ = sample;
    }
    if (!speech_) heardLast_ = 0;
  }
  bool inSpeech() override { return speech_; }
  std::string hypothesis() override { return heard_; }
  std::string endUtterance() override {
    std::string words = heard_;
    heard_.clear();
    return words;
  }

  std::atomic<int> utterances{0};
  std::atomic<int> processed{0};
  int failAfter = -1;
  std::chrono::milliseconds delay{0};

 private:
  std::vector<std::string> words_;
  std::string heard_;
  std::int16_t heardLast_ = 0;
  bool speech_ = false;
};

class FakeSpeechEngine final : public SpeechEngine {
 public:
  std::vector<std::string> words{"hello", "world", "again"};
  bool modelInstalled = true;
  std::string loadFailure;  // when set, load() throws it
  int decoderFailAfter = -1;
  std::chrono::milliseconds decoderDelay{0};
  std::chrono::milliseconds loadDelay{0};
  FakeSpeechDecoder* lastDecoder = nullptr;
  std::atomic<int> loads{0};

  std::optional<std::string> supportedLocale(const std::string& id) override {
    if (id.rfind("en", 0) == 0) return std::string("en-US");
    return std::nullopt;
  }
  std::optional<std::string> missingModel(const std::string&) override {
    if (modelInstalled) return std::nullopt;
    return std::string("install the package pocketsphinx-en-us");
  }
  PcmFormat audioFormat() override { return PcmFormat{16000, 1, SampleFormat::Int16, true}; }
  std::unique_ptr<SpeechDecoder> load(const std::string&) override {
    ++loads;
    if (loadDelay.count() > 0) std::this_thread::sleep_for(loadDelay);
    if (!loadFailure.empty()) throw std::runtime_error(loadFailure);
    auto decoder = std::make_unique<FakeSpeechDecoder>(words);
    decoder->failAfter = decoderFailAfter;
    decoder->delay = decoderDelay;
    lastDecoder = decoder.get();
    return decoder;
  }
};
