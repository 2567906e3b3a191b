#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/PcmBuffer.h"

class AudioConverters;
class LineWriter;
class SpeechDecoder;
class SpeechEngine;

// The identifier of the user's locale, such as "en_US", from LC_ALL, LC_MESSAGES or LANG;
// "en_US" when none is set or the setting is C or POSIX.
std::string speechLocaleIdentifier();

// A result's words without the white space the recogniser leaves around them.
std::string trimmed(const std::string& text);

// Turns a live stream of PCM buffers into text with the on-device recogniser: one road per
// voice. Buffers in any format are copied once on the capture thread into the voice's queue; the
// voice's one worker takes them in order, converts each into the recogniser's format (one
// StreamConverter, flushed at the end) and feeds the decoder on the same thread. It reports the
// running hypothesis whenever it changes (isFinal false) and the final words of an utterance
// when the voice-activity state goes from speech to silence, and at the end of input (isFinal
// true).
//
// Threads: feed() from the capture thread; load(), start() and finish() from any thread, load()
// before start(); the worker owns the converter and the decoder once started. The queue's mutex guards its phase and buffers. The result
// callback runs on the worker, one result at a time, in order.
class LiveTranscriber : public std::enable_shared_from_this<LiveTranscriber> {
 public:
  using ResultHandler = std::function<void(const std::string& text, bool isFinal)>;
  // A step on the worker between the converter and the speech gate: gets the recogniser's sound
  // with the time its first sample was captured (none: right after the sound before) and
  // appends what goes on to the decoder to `out` (a meeting's echo canceller on "me"; on "them",
  // the canceller's reference, passed on unchanged). At the end of the input it is called once
  // with no sound, to append all it still holds.
  using Stage = std::function<void(std::span<const std::int16_t> sound,
                                   std::optional<double> capturedAt, std::vector<std::int16_t>& out)>;

  static constexpr double DRAIN_SECONDS = 3.0;
  // How often the running hypothesis is asked for: every 0.1 s of 16 kHz audio.
  static constexpr std::size_t HYPOTHESIS_SAMPLES = 1600;

  // Builds a transcriber for the locale: resolves the supported locale, reports whether its
  // model is here (modelInstalled, before anything else can fail for a missing model), and loads the
  // model. Throws ListenFailure when no model serves the language, NeedsDownload when the model
  // isn't installed, and the engine's error when it doesn't load.
  static std::shared_ptr<LiveTranscriber> make(SpeechEngine& engine, AudioConverters& converters,
                                               LineWriter& lines,
                                               const std::string& localeIdentifier,
                                               const std::function<void(bool)>& modelInstalled = {});
  // A transcriber whose model load() loads later: what it is fed meanwhile waits in its queue
  // until start(). load() throws as make() does.
  static std::shared_ptr<LiveTranscriber> waiting(SpeechEngine& engine, AudioConverters& converters,
                                                  LineWriter& lines);
  void load(const std::string& localeIdentifier, const std::function<void(bool)>& modelInstalled = {});
  ~LiveTranscriber();
  LiveTranscriber(const LiveTranscriber&) = delete;
  LiveTranscriber& operator=(const LiveTranscriber&) = delete;

  // Opens the input and starts the voice's worker, named worker ("vesk.me", "vesk.them").
  // Throws ListenFailure when already running or finished.
  void start(ResultHandler onResult, const char* worker = "vesk.decode");
  // Sets the stage, before start().
  void setStage(Stage stage);
  // Hands one captured buffer over; returns at once. Held before start(), dropped after finish().
  void feed(const PcmBuffer& buffer);
  // Ends the input (the converter's tail included) and lets the decoder work through what it
  // was given, for at most drainSeconds. A phrase shown as partial whose utterance the decoder
  // did not settle in time is then delivered as final; no result follows the return.
  // Never throws.
  void finish(double drainSeconds = DRAIN_SECONDS);

  const PcmFormat& analyzerFormat() const { return analyzerFormat_; }


 private:
  struct Input;
  struct Decoding;

  LiveTranscriber(SpeechEngine& engine, AudioConverters& converters, LineWriter& lines);

  static void decode(const std::shared_ptr<Decoding>& decoding, Input& input, LineWriter& lines);

  SpeechEngine& engine_;
  const PcmFormat analyzerFormat_;
  LineWriter& lines_;
  const std::shared_ptr<Input> input_;
  const std::shared_ptr<Decoding> decoding_;
};
