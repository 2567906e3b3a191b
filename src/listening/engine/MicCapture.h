#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "listening/engine/AudioMeter.h"
#include "base/SerialQueue.h"
#include "platform/AudioInput.h"

class LineWriter;

// Delivers the microphone's audio as PCM buffers to one callback: records the sound server's
// default source, in its own rate and channel count or, when a rate is asked for, in mono at that
// rate (the server converts), in buffers of about 20 ms, each one counted by the meter first. It can move off a Bluetooth headset to the built-in microphone,
// can ask for the server's echo canceller, and starts itself again when the default source
// changes or its source goes away.
//
// Threads: start(), stop(), startAgain(), format() and onHeadset() from any thread; the
// callback runs on the capture thread. Every start, stop and restart runs on the queue
// "vesk.mic", one at a time, so they never overlap and no lock is held while the sound server
// works; stream_ belongs to that queue. mutex_ guards running_, stopped_, onBuffer_,
// usingHeadset_ and formatText_.
class MicCapture : public std::enable_shared_from_this<MicCapture> {
 public:
  // How much sound one buffer carries: short, so the end of speech is seen soon.
  static constexpr double BUFFER_SECONDS = 0.02;
  static constexpr std::chrono::milliseconds STOP_WAIT{250};
  using BufferHandler = AudioInput::BufferHandler;

  // sampleRate 0 keeps the source's own format; another asks for mono 32-bit float at that rate.
  static std::shared_ptr<MicCapture> make(AudioInput& input, LineWriter& lines,
                                          bool voiceProcessing, bool preferBuiltIn,
                                          double sampleRate = 0);
  ~MicCapture();
  MicCapture(const MicCapture&) = delete;
  MicCapture& operator=(const MicCapture&) = delete;

  // Starts capturing into the callback. Does nothing once running or stopped. Throws
  // ListenFailure for a source without a format and the server's error when the stream doesn't
  // start; the callback stays stored, so a later start tries again.
  void start(BufferHandler onBuffer);
  // Stops for good; idempotent; never throws. No buffer reaches the callback once it returns.
  // Closing the stream waits at most STOP_WAIT: a sound server that hangs (or a start still
  // waiting for it) never holds the caller longer; the stream then closes on the queue.
  void stop();
  // Stops and starts the stream again, only while running and not stopped. Throws as start().
  void startAgain();

  // The format of the stream in use (before a start, the default source's), such as
  // "48000 Hz, 2 ch, float32le".
  std::string format();
  // Whether the headset's microphone is in use though the built-in one was preferred.
  bool onHeadset();
  AudioMeter& meter() { return meter_; }

 private:
  MicCapture(AudioInput& input, LineWriter& lines, bool voiceProcessing, bool preferBuiltIn,
             double sampleRate);

  // On the queue: chooses the source, checks its format and opens the stream.
  void installTapAndStart(const BufferHandler& onBuffer);
  void restartAfterChange();

  AudioInput& input_;
  LineWriter& lines_;
  const bool voiceProcessing_;
  const bool preferBuiltIn_;
  const double sampleRate_;
  std::mutex mutex_;
  bool usingHeadset_ = false;
  std::string formatText_;
  bool running_ = false;
  bool stopped_ = false;
  BufferHandler onBuffer_;
  std::unique_ptr<CaptureStream> stream_;
  int watchToken_ = 0;
  AudioMeter meter_;
  // Cleared by stop(): the capture thread checks it before each buffer.
  const std::shared_ptr<std::atomic<bool>> delivering_ = std::make_shared<std::atomic<bool>>(true);
  SerialQueue queue_;
};
