#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/SpeechEngine.h"

// PocketSphinx with the acoustic model, language model and dictionary of a distribution
// package, looked up under the XDG data folders ($XDG_DATA_DIRS, by default
// /usr/local/share:/usr/share) in pocketsphinx/model/<model>/.
class PocketSphinxEngine : public SpeechEngine {
 public:
  std::optional<std::string> supportedLocale(const std::string& localeIdentifier) override;
  std::optional<std::string> missingModel(const std::string& locale) override;
  PcmFormat audioFormat() override;
  std::unique_ptr<SpeechDecoder> load(const std::string& locale) override;

 private:
  // The folder holding the locale's model files, when every one of them is there.
  static std::optional<std::filesystem::path> modelFolder(const std::string& locale);
};
