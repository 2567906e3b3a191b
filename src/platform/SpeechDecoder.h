#pragma once

#include <cstdint>
#include <span>
#include <string>

// One loaded recogniser: takes 16 kHz mono 16-bit audio utterance by utterance and tells its
// running hypothesis and whether it hears speech now. Used from one thread.
// Exists so tests can replace it. Errors are std::runtime_error with the library's message.
class SpeechDecoder {
 public:
  virtual ~SpeechDecoder() = default;

  virtual void startUtterance() = 0;
  virtual void process(std::span<const std::int16_t> samples) = 0;
  // The voice-activity state after the audio processed so far.
  virtual bool inSpeech() = 0;
  // The best words of the current utterance so far (empty when none).
  virtual std::string hypothesis() = 0;
  // Ends the utterance and returns its final words.
  virtual std::string endUtterance() = 0;
};
