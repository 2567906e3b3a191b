#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/PcmBuffer.h"
#include "platform/SpeechDecoder.h"

// The on-device speech recogniser: which locales it serves, whether their models are installed,
// the audio format it takes, and loading a decoder. Exists so tests can replace it; the real
// one runs PocketSphinx with the models of the distribution's packages.
class SpeechEngine {
 public:
  virtual ~SpeechEngine() = default;

  // The model locale equivalent to a locale identifier such as "en_US" (the language matches),
  // or none when no model serves that language.
  virtual std::optional<std::string> supportedLocale(const std::string& localeIdentifier) = 0;
  // None when the locale's model is on this machine; otherwise why not, naming what to install.
  virtual std::optional<std::string> missingModel(const std::string& locale) = 0;
  // The format every buffer is converted to before decoding.
  virtual PcmFormat audioFormat() = 0;
  // Loads the locale's model (slow: most of a second). Throws std::runtime_error on failure.
  virtual std::unique_ptr<SpeechDecoder> load(const std::string& locale) = 0;
};
