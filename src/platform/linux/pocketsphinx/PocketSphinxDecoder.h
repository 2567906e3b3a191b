#pragma once

#include <filesystem>
#include <memory>

#include "platform/SpeechDecoder.h"

struct cmd_ln_s;
struct ps_decoder_s;

// One PocketSphinx decoder over a model folder (acoustic model, language model, dictionary).
class PocketSphinxDecoder : public SpeechDecoder {
 public:
  // Throws std::runtime_error when the model doesn't load.
  PocketSphinxDecoder(const std::filesystem::path& folder, const std::string& acousticModel,
                      const std::string& languageModel, const std::string& dictionary);

  void startUtterance() override;
  void process(std::span<const std::int16_t> samples) override;
  bool inSpeech() override;
  std::string hypothesis() override;
  std::string endUtterance() override;

 private:
  struct ConfigFree {
    void operator()(cmd_ln_s* config) const;
  };
  struct DecoderFree {
    void operator()(ps_decoder_s* decoder) const;
  };

  std::unique_ptr<cmd_ln_s, ConfigFree> config_;
  std::unique_ptr<ps_decoder_s, DecoderFree> decoder_;
};
