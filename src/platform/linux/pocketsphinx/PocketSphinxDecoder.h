#pragma once

#include <filesystem>
#include <memory>

#include "platform/SpeechDecoder.h"
#include "platform/linux/pocketsphinx/PocketSphinxLanguageModel.h"

struct cmd_ln_s;
struct ps_decoder_s;

// One PocketSphinx decoder over a model folder (acoustic model, language model, dictionary). Only
// the dictionary's words that the language model knows are loaded. The language model may be
// shared with other decoders: every call that scores words takes the model's turn.
//
// Threads: one at a time (the voice's worker); the model's turns guard what it shares.
class PocketSphinxDecoder : public SpeechDecoder {
 public:
  // The settings that trade the wait for a line against accuracy and work.
  struct Tuning {
    // 10 ms frames of silence after which the voice-activity state says speech has ended (the
    // library's default is 50).
    int postSpeechFrames = 50;
    // The second searches over a whole utterance at its end (flat lexicon, best path).
    bool secondPasses = true;
    // The most phone models the first search keeps alive per 10 ms frame (the library's default
    // is 30000): the bound on its work per frame while many words are still possible.
    int maxActiveHmms = 30000;
    // How many of the language model's words can be recognised, the likeliest on their own
    // (all by default). Each word is a branch of the search's tree, the largest part of a
    // decoder's memory.
    std::size_t words = SIZE_MAX;
  };
  // What dictation and meetings use: a line soon after the voice stops, at the same accuracy,
  // for a third of the work (at most 3000 phone models a frame kept the same words right on the
  // test recordings; 2000 lost some), and the 40 000 likeliest words, which kept the same words
  // right for 12 MB less per decoder (30 000 lost some).
  static Tuning liveTuning();

  // Throws std::runtime_error when the model doesn't load.
  PocketSphinxDecoder(const std::filesystem::path& folder, const std::string& acousticModel,
                      const std::string& languageModel, const std::string& dictionary,
                      const Tuning& tuning = liveTuning());
  // Over a language model already loaded, which it keeps.
  PocketSphinxDecoder(const std::filesystem::path& folder, const std::string& acousticModel,
                      std::shared_ptr<PocketSphinxLanguageModel> languageModel,
                      const std::string& dictionary, const Tuning& tuning = liveTuning());
  ~PocketSphinxDecoder() override;

  void startUtterance() override;
  void process(std::span<const std::int16_t> samples) override;
  bool inSpeech() override;
  std::string hypothesis() override;
  std::string endUtterance() override;

 private:
  struct ConfigFree {
    void operator()(cmd_ln_s* config) const;
  };
  void loadKnownWords(const std::string& dictionary, std::size_t most);
  void useLanguageModel();

  struct DecoderFree {
    void operator()(ps_decoder_s* decoder) const;
  };

  const std::shared_ptr<PocketSphinxLanguageModel> languageModel_;
  std::unique_ptr<cmd_ln_s, ConfigFree> config_;
  std::unique_ptr<ps_decoder_s, DecoderFree> decoder_;
};
