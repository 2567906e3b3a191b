#include "listening/engine/SystemAudioStream.h"

#include <cmath>

#include "listening/engine/ListenFailure.h"
#include "listening/engine/LiveTranscriber.h"
#include "base/PermissionStatus.h"
#include "platform/Platform.h"

std::string explain(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const SoundServerError& failure) {
    return std::string(failure.what()) + " (" + std::to_string(failure.code()) + ")";
  } catch (const std::exception& failure) {
    return failure.what();
  } catch (...) {
    return "unknown error";
  }
}

std::shared_ptr<SystemAudioStream> SystemAudioStream::make(Platform& platform,
                                                           BufferHandler onBuffer,
                                                           EndHandler onEnd) {
  return std::shared_ptr<SystemAudioStream>(
      new SystemAudioStream(platform, std::move(onBuffer), std::move(onEnd)));
}

SystemAudioStream::SystemAudioStream(Platform& platform, BufferHandler onBuffer, EndHandler onEnd)
    : platform_(platform), onBuffer_(std::move(onBuffer)), onEnd_(std::move(onEnd)) {}

SystemAudioStream::~SystemAudioStream() { stop(); }

std::optional<nlohmann::json> SystemAudioStream::start() {
  {
    std::lock_guard guard(mutex_);
    if (begun_) throw ListenFailure("The Mac\u2019s sound is already being heard");
    begun_ = true;
  }
  if (!systemAudioAllowedNow(platform_)) throw ListenFailure(std::string(systemAudioDenied));
  {
    std::lock_guard guard(mutex_);
    if (stopped_) return std::nullopt;
  }
  // The recording's callbacks reach this object only while it holds the recording, and it
  // closes the recording before it goes.
  SystemAudio::Recording recording = platform_.systemAudio->record(
      PcmFormat{SAMPLE_RATE, CHANNELS, SampleFormat::Float32, true}, FRAMES_PER_BUFFER,
      [this](const PcmBuffer& buffer) { delivered(buffer); },
      [this](const SoundServerError& error) { ended(std::make_exception_ptr(error)); });
  std::exception_ptr endedEarly;
  {
    std::lock_guard guard(mutex_);
    endedEarly = endedWhileStarting_;
    if (!endedEarly && !stopped_) {
      recording_ = std::move(recording.stream);
      running_ = true;
    }
  }
  if (recording.stream) {
    recording.stream.reset();
    if (endedEarly) std::rethrow_exception(endedEarly);
    return std::nullopt;
  }
  return nlohmann::json{{"sink", {{"name", recording.sink.name},
                                  {"description", recording.sink.description}}},
                        {"sampleRate", static_cast<std::int64_t>(SAMPLE_RATE)},
                        {"channels", CHANNELS},
                        {"excludesCurrentProcessAudio", true}};
}

void SystemAudioStream::stop() {
  std::unique_ptr<CaptureStream> recording;
  {
    std::lock_guard guard(mutex_);
    stopped_ = true;
    running_ = false;
    recording = std::move(recording_);
  }
  recording.reset();
}

void SystemAudioStream::ended(std::exception_ptr error) {
  {
    std::lock_guard guard(mutex_);
    if (!running_) {
      // Still starting: the start throws it. Stopped: nobody is told.
      if (!stopped_) endedWhileStarting_ = error;
      return;
    }
    running_ = false;
  }
  onEnd_(error);
}

void SystemAudioStream::delivered(const PcmBuffer& buffer) {
  auto copy = buffer.copy();
  if (!copy || copy->frameLength() == 0) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  const PcmFormat& format = copy->format();
  if (!format_ || *format_ != format) {
    format_ = format;
    deliveredRate_ = std::llround(format.sampleRate);
    deliveredChannels_ = format.channels;
    formatChanges_.fetch_add(1);
  }
  meter_.saw(*copy);
  onBuffer_(*copy);
}

nlohmann::json SystemAudioStream::report() {
  nlohmann::json report = meter_.report();
  report["buffers"] = report["calls"];
  report.erase("calls");
  report["dropped"] = dropped_.exchange(0);
  report["screenFramesDropped"] = 0;
  report["sampleRate"] = deliveredRate_.load();
  report["channels"] = deliveredChannels_.load();
  report["formatChanges"] = formatChanges_.load();
  return report;
}
