#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/CaptureStream.h"

class EchoAligner;
class SystemAudio;

// The computer's own sound for the echo canceller alone: the default output's monitor recorded
// in 16 kHz mono (the server converts), each buffer turned into 16-bit samples and handed to the
// aligner with the time it was played, on the recording's thread. Nothing of it is transcribed,
// kept or written. A recording whose output goes away just ends: the aligner then passes the
// microphone through.
//
// Threads: start() and stop() from any thread; the buffers come on the recording's thread,
// which touches only the aligner (kept alive by the recording) and its own scratch. mutex_
// guards recording_ and stopped_.
class EchoReference {
 public:
  static constexpr std::uint32_t FRAMES_PER_BUFFER = 320;  // 20 ms

  EchoReference(SystemAudio& audio, std::shared_ptr<EchoAligner> aligner);
  ~EchoReference();
  EchoReference(const EchoReference&) = delete;
  EchoReference& operator=(const EchoReference&) = delete;

  // Starts the recording and returns once it runs, or nothing runs after a stop() that came
  // first. Throws ListenFailure when `limit` passes first (a recording that starts later is
  // closed at once), and the server's error when the recording doesn't start.
  void start(std::chrono::duration<double> limit);
  // Stops for good; idempotent; never throws; does not wait on the server. No buffer reaches the
  // aligner once it returns.
  void stop();

 private:
  SystemAudio& audio_;
  const std::shared_ptr<EchoAligner> aligner_;
  std::mutex mutex_;
  bool stopped_ = false;
  std::unique_ptr<CaptureStream> recording_;
};
