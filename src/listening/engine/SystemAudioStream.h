#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "listening/engine/AudioMeter.h"
#include "platform/PcmBuffer.h"
#include "platform/SystemAudio.h"

struct Platform;

// The wording of a failure of the computer's sound: the server's error text and its code in
// parentheses for a stream error, the error's own text otherwise.
std::string explain(const std::exception_ptr& error);

// Delivers the computer's own sound (the default output's monitor) as PCM buffers to one
// callback, in 48000 Hz, 2 ch, 32-bit float: each buffer the server hands over is copied into a
// buffer the receiver may keep, counted by the meter, and handed on. The bridge plays nothing
// during a meeting, so its own sound is never in it. A stream starts once; a new capture needs a
// new object. A running stream whose output goes away, or whose server fails, ends by itself and
// says so through onEnd.
//
// Threads: start() and stop() from any thread (start() blocks while the server starts the
// recording); the buffer callback and onEnd run on the recording's thread; level() and report()
// from any thread. mutex_ guards begun_, stopped_, running_, recording_ and endedWhileStarting_;
// format_ belongs to the recording's thread; the counters are atomics.
class SystemAudioStream : public std::enable_shared_from_this<SystemAudioStream> {
 public:
  static constexpr double SAMPLE_RATE = 48000;
  static constexpr std::uint32_t CHANNELS = 2;
  // About 20 ms a buffer, as the microphone's: a phrase's last sound reaches the transcriber
  // without waiting for a larger buffer to fill.
  static constexpr std::uint32_t FRAMES_PER_BUFFER = 960;
  using BufferHandler = std::function<void(const PcmBuffer&)>;
  using EndHandler = std::function<void(std::exception_ptr)>;

  static std::shared_ptr<SystemAudioStream> make(Platform& platform, BufferHandler onBuffer,
                                                 EndHandler onEnd);
  ~SystemAudioStream();
  SystemAudioStream(const SystemAudioStream&) = delete;
  SystemAudioStream& operator=(const SystemAudioStream&) = delete;

  // Starts the recording; its start report, or nothing when stop() came first. Throws
  // ListenFailure for a second start or when the computer's sound may not be recorded, and the
  // server's error when the recording doesn't start or ended as it started.
  std::optional<nlohmann::json> start();
  // Stops the recording if it runs; idempotent, never throws. No buffer follows its return.
  void stop();

  float level() { return meter_.level(); }
  // The meter's figures ("calls" named "buffers") with "dropped", "screenFramesDropped",
  // "sampleRate", "channels" and "formatChanges"; the counts cover the time since the last report.
  nlohmann::json report();

 private:
  SystemAudioStream(Platform& platform, BufferHandler onBuffer, EndHandler onEnd);
  void delivered(const PcmBuffer& buffer);
  void ended(std::exception_ptr error);

  Platform& platform_;
  const BufferHandler onBuffer_;
  const EndHandler onEnd_;
  AudioMeter meter_;
  std::atomic<std::int64_t> dropped_{0};
  std::atomic<std::int64_t> deliveredRate_{0};
  std::atomic<std::int64_t> deliveredChannels_{0};
  std::atomic<std::int64_t> formatChanges_{0};
  std::optional<PcmFormat> format_;
  std::mutex mutex_;
  bool begun_ = false;
  bool stopped_ = false;
  bool running_ = false;
  std::unique_ptr<CaptureStream> recording_;
  std::exception_ptr endedWhileStarting_;
};
