#include "listening/engine/LiveTranscriber.h"

#include <pthread.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <span>
#include <vector>

#include "base/LineWriter.h"
#include "listening/engine/DecodeBatch.h"
#include "listening/engine/ListenFailure.h"
#include "listening/engine/NeedsDownload.h"
#include "listening/engine/SpeechGate.h"
#include "listening/engine/StreamConverter.h"
#include "platform/SpeechEngine.h"

// The voice's queue: the capture's copies, in order, between feed() and the worker. Nothing is
// dropped for back-pressure: a slow decoder makes the queue grow rather than lose speech. It
// holds what comes before start() until the worker takes it, and takes nothing after finish().
struct LiveTranscriber::Input {
  enum class Phase { Ready, Running, Finished };
  std::mutex mutex;  // guards phase, buffers, cancelled
  std::condition_variable changed;
  Phase phase = Phase::Ready;
  std::deque<PcmBuffer> buffers;
  bool cancelled = false;

  void push(PcmBuffer buffer) {
    {
      std::lock_guard guard(mutex);
      if (phase == Phase::Finished || cancelled) return;
      buffers.push_back(std::move(buffer));
    }
    changed.notify_one();
  }
  // Takes buffers from now on. Throws ListenFailure when already running or finished.
  void open() {
    std::lock_guard guard(mutex);
    if (phase == Phase::Finished) throw ListenFailure("The transcriber has already finished");
    if (phase == Phase::Running) throw ListenFailure("The transcriber is already running");
    phase = Phase::Running;
  }
  // No more input: the worker finishes what it has. Answers whether the input was running.
  bool end() {
    bool running;
    {
      std::lock_guard guard(mutex);
      running = phase == Phase::Running;
      phase = Phase::Finished;
    }
    changed.notify_one();
    return running;
  }
  // Stop now: what is still queued is dropped and no final result follows.
  void cancel() {
    {
      std::lock_guard guard(mutex);
      cancelled = true;
      buffers.clear();
    }
    changed.notify_one();
  }
  bool wasCancelled() {
    std::lock_guard guard(mutex);
    return cancelled;
  }
  // The next buffer, or none at the end of input or on cancel.
  std::optional<PcmBuffer> pop() {
    std::unique_lock guard(mutex);
    changed.wait(guard, [this] { return cancelled || phase == Phase::Finished || !buffers.empty(); });
    if (cancelled || buffers.empty()) return std::nullopt;
    auto buffer = std::move(buffers.front());
    buffers.pop_front();
    return buffer;
  }
};

// What the worker owns and shares with finish(): the converter and the decoder, the result
// callback and whether the worker has ended. The thread keeps it alive, so it may outlive the transcriber.
// Results go out through deliver(), which remembers the partial on show until its utterance
// settles; once closed, nothing more is delivered.
struct LiveTranscriber::Decoding {
  Decoding(AudioConverters& converters, const PcmFormat& format) : converter(converters, format) {}

  std::unique_ptr<SpeechDecoder> decoder;  // set by load(), before the worker starts
  StreamConverter converter;  // the worker's alone
  Stage stage;                // set before the worker starts, then the worker's alone
  ResultHandler onResult;
  std::thread thread;
  std::mutex mutex;  // guards ended, closed, delivering, shown
  std::condition_variable changed;
  bool ended = false;
  bool closed = false;
  int delivering = 0;
  std::string shown;  // the last partial of the utterance in progress

  // Waits up to the time for the thread to end; answers whether it has.
  bool waitEnded(double seconds) {
    std::unique_lock guard(mutex);
    return changed.wait_for(guard, std::chrono::duration<double>(seconds), [this] { return ended; });
  }
  // Hands one result to the callback. A final result without words settles the partial on show.
  void deliver(std::string text, bool isFinal) {
    {
      std::lock_guard guard(mutex);
      if (closed || !onResult) return;
      if (isFinal) {
        if (text.empty()) text = shown;
        shown.clear();
      } else if (!text.empty()) {
        shown = text;
      }
      if (text.empty()) return;
      ++delivering;
    }
    try {
      onResult(text, isFinal);
    } catch (...) {
      // A consumer's failure doesn't end the transcription.
    }
    {
      std::lock_guard guard(mutex);
      --delivering;
    }
    changed.notify_all();
  }
  // No more results: waits for one being delivered, then settles the partial on show as the
  // final words of its utterance.
  void close() {
    std::string unsettled;
    {
      std::unique_lock guard(mutex);
      if (closed) return;
      closed = true;
      changed.wait_for(guard, std::chrono::seconds(1), [this] { return delivering == 0; });
      unsettled = std::exchange(shown, "");
    }
    if (unsettled.empty() || !onResult) return;
    try {
      onResult(unsettled, true);
    } catch (...) {
    }
  }
};

std::string speechLocaleIdentifier() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    std::string locale = value;
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale.empty() || locale == "C" || locale == "POSIX") break;
    return locale;
  }
  return "en_US";
}

std::string trimmed(const std::string& text) {
  static constexpr const char* SPACE = " \t\n\r\f\v";
  const auto first = text.find_first_not_of(SPACE);
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(SPACE);
  return text.substr(first, last - first + 1);
}

namespace {

// "48000 Hz, 2 ch": a format as the conversion messages name it.
std::string describe(const PcmFormat& format) {
  return std::to_string(static_cast<long long>(format.sampleRate)) + " Hz, " +
         std::to_string(format.channels) + " ch";
}

}  // namespace

std::shared_ptr<LiveTranscriber> LiveTranscriber::make(SpeechEngine& engine,
                                                       AudioConverters& converters,
                                                       LineWriter& lines,
                                                       const std::string& localeIdentifier,
                                                       const std::function<void(bool)>& modelInstalled) {
  auto transcriber = waiting(engine, converters, lines);
  transcriber->load(localeIdentifier, modelInstalled);
  return transcriber;
}

std::shared_ptr<LiveTranscriber> LiveTranscriber::waiting(SpeechEngine& engine,
                                                          AudioConverters& converters,
                                                          LineWriter& lines) {
  return std::shared_ptr<LiveTranscriber>(new LiveTranscriber(engine, converters, lines));
}

void LiveTranscriber::load(const std::string& localeIdentifier,
                           const std::function<void(bool)>& modelInstalled) {
  auto locale = engine_.supportedLocale(localeIdentifier);
  if (!locale) throw ListenFailure("Speech isn\u2019t available for " + localeIdentifier + " on this Mac");
  auto missing = engine_.missingModel(*locale);
  if (modelInstalled) modelInstalled(!missing);
  // Nothing can be fetched here: a missing model stays missing.
  if (missing) {
    throw NeedsDownload("The speech model isn\u2019t on this Mac and couldn\u2019t be fetched: " + *missing);
  }
  if (analyzerFormat_.sampleRate <= 0 || analyzerFormat_.channels == 0) {
    throw ListenFailure("No audio format for the speech analyzer");
  }
  decoding_->decoder = engine_.load(*locale);
}

LiveTranscriber::LiveTranscriber(SpeechEngine& engine, AudioConverters& converters, LineWriter& lines)
    : engine_(engine),
      analyzerFormat_(engine.audioFormat()),
      lines_(lines),
      input_(std::make_shared<Input>()),
      decoding_(std::make_shared<Decoding>(converters, analyzerFormat_)) {}

LiveTranscriber::~LiveTranscriber() {
  input_->cancel();
  if (decoding_->thread.joinable()) {
    if (decoding_->thread.get_id() == std::this_thread::get_id()) {
      decoding_->thread.detach();
    } else {
      decoding_->thread.join();
    }
  }
}

void LiveTranscriber::start(ResultHandler onResult, const char* worker) {
  if (!decoding_->decoder) throw ListenFailure("The transcriber has no model loaded");
  input_->open();
  try {
    decoding_->decoder->startUtterance();
  } catch (...) {
    input_->end();
    throw;
  }
  decoding_->onResult = std::move(onResult);
  decoding_->thread = std::thread([decoding = decoding_, input = input_, &lines = lines_, worker] {
    pthread_setname_np(pthread_self(), worker);
    decode(decoding, *input, lines);
  });
}

void LiveTranscriber::decode(const std::shared_ptr<Decoding>& decoding, Input& input, LineWriter& lines) {
  SpeechDecoder& decoder = *decoding->decoder;
  bool inUtterance = false;
  std::string last;
  std::size_t unasked = 0;  // samples decoded since the hypothesis was last asked for
  const auto decode = [&](std::span<const std::int16_t> samples) {
    decoder.process(samples);
    const bool speech = decoder.inSpeech();
    if (speech) inUtterance = true;
    unasked += samples.size();
    // Asking costs a search of what was decoded: at most every HYPOTHESIS_SAMPLES, and
    // whenever the speech ends.
    if (unasked >= HYPOTHESIS_SAMPLES || (!speech && inUtterance)) {
      unasked = 0;
      std::string words = decoder.hypothesis();
      if (words != last) {
        last = words;
        decoding->deliver(words, false);
      }
    }
    if (!speech && inUtterance) {
      inUtterance = false;
      last.clear();
      decoding->deliver(decoder.endUtterance(), true);
      decoder.startUtterance();
    }
  };
  StreamConverter& converter = decoding->converter;
  // Long quiet is not decoded at all; sound goes in in larger pieces while it goes on.
  SpeechGate gate(converter.format().sampleRate);
  DecodeBatch batch(converter.format().sampleRate);
  const DecodeBatch::Decode toDecoder = decode;
  const SpeechGate::Decode batched = [&](std::span<const std::int16_t> samples, bool loud) {
    batch.add(samples, loud, toDecoder);
  };
  std::optional<double> capturedAt;  // the time of the buffer in the converter, until passed on
  std::vector<std::int16_t> staged;
  const auto hear = [&](const PcmBuffer& ready) {
    const auto* samples = ready.samples<std::int16_t>(0);
    if (!samples || ready.frameLength() == 0) return;
    std::span<const std::int16_t> sound(samples, ready.frameLength());
    if (decoding->stage) {
      staged.clear();
      decoding->stage(sound, std::exchange(capturedAt, std::nullopt), staged);
      sound = staged;
      if (sound.empty()) return;
    }
    gate.pass(sound, inUtterance, batched);
  };
  try {
    while (auto buffer = input.pop()) {
      capturedAt = buffer->capturedAt();
      try {
        const auto outcome = converter.convert(std::move(*buffer), hear);
        if (outcome == StreamConverter::Outcome::NoConverter) {
          lines.write("error", {{"message", "No audio converter from " + describe(*converter.inputFormat()) +
                                                 " to " + describe(converter.format())}});
        }
      } catch (const AudioConverter::Failure& failure) {
        const std::string why = failure.what();
        lines.write("error", {{"message", "Audio conversion failed: " + (why.empty() ? "unknown" : why)}});
      }
    }
    if (!input.wasCancelled()) {
      converter.flush(hear);  // what the converter still holds is the end of the last words
      if (decoding->stage) {
        staged.clear();
        decoding->stage({}, std::nullopt, staged);
        if (!staged.empty()) gate.pass(staged, inUtterance, batched);
      }
      batch.flush(toDecoder);
      decoding->deliver(decoder.endUtterance(), true);
    }
  } catch (const std::exception& error) {
    if (!input.wasCancelled()) {
      lines.write("error", {{"message", std::string("Speech results ended: ") + error.what()}});
    }
  }
  {
    std::lock_guard guard(decoding->mutex);
    decoding->ended = true;
  }
  decoding->changed.notify_all();
}

void LiveTranscriber::setStage(Stage stage) { decoding_->stage = std::move(stage); }

void LiveTranscriber::feed(const PcmBuffer& buffer) {
  if (buffer.frameLength() == 0) return;
  if (auto copied = buffer.copy()) input_->push(std::move(*copied));
}

void LiveTranscriber::finish(double drainSeconds) {
  if (!input_->end()) return;
  const bool drained = decoding_->waitEnded(drainSeconds);
  if (!drained) input_->cancel();
  // Whatever the decoder managed, a phrase already shown ends as a line, and nothing follows.
  decoding_->close();
  if (decoding_->thread.joinable() && decoding_->thread.get_id() != std::this_thread::get_id()) {
    if (drained) {
      decoding_->thread.join();
    } else {
      decoding_->thread.detach();  // still inside the decoder; it ends on its own
    }
  }
}
