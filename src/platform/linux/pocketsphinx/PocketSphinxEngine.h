#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/SpeechEngine.h"

class PocketSphinxLanguageModel;

// PocketSphinx with the acoustic model, language model and dictionary of a distribution
// package, looked up under the XDG data folders ($XDG_DATA_DIRS, by default
// /usr/local/share:/usr/share) in pocketsphinx/model/<model>/. The decoders alive at once share
// one language model per file (a meeting's two voices).
//
// Threads: any; the mutex guards the language models in use.
class PocketSphinxEngine : public SpeechEngine {
 public:
  std::optional<std::string> supportedLocale(const std::string& localeIdentifier) override;
  std::optional<std::string> missingModel(const std::string& locale) override;
  PcmFormat audioFormat() override;
  std::unique_ptr<SpeechDecoder> load(const std::string& locale) override;

 private:
  // The folder holding the locale's model files, when every one of them is there.
  static std::optional<std::filesystem::path> modelFolder(const std::string& locale);
  // The model of the file, loaded again only once no decoder holds it.
  std::shared_ptr<PocketSphinxLanguageModel> languageModel(const std::filesystem::path& file);

  std::mutex mutex_;  // guards languageModels_
  std::map<std::filesystem::path, std::weak_ptr<PocketSphinxLanguageModel>> languageModels_;
};
