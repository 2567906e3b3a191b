#pragma once

#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>

#include "listening/engine/LiveTranscriber.h"

class LineWriter;
class SystemAudioStream;
struct Platform;

// "them" in a meeting: the computer's own sound feeding a transcriber of its own, started,
// measured and stopped as one thing. A stop that comes while the side is starting makes the
// start leave nothing running; once stopped, a side never runs again.
//
// Threads: start() on a job of its own; stop(), beginStop(), level() and report() from any
// thread; results come on the transcriber's worker and onEnd on the recording's thread. mutex_
// guards transcriber_, stream_ and ending_.
class OtherSide : public std::enable_shared_from_this<OtherSide> {
 public:
  // A running side ended without being asked; gets the side and why.
  using EndHandler = std::function<void(const std::shared_ptr<OtherSide>&, std::exception_ptr)>;

  static std::shared_ptr<OtherSide> make(Platform& platform, LineWriter& lines, EndHandler onEnd,
                                         double drainSeconds = LiveTranscriber::DRAIN_SECONDS);
  OtherSide(const OtherSide&) = delete;
  OtherSide& operator=(const OtherSide&) = delete;

  // Builds and starts the transcriber, then the stream; the stream's start report, or nothing
  // when a stop came first. Throws what the transcriber or the stream met; after a failed stream
  // start the owner stops the side.
  // The stage, if any, sees the side's sound on its worker (the echo canceller's reference).
  std::optional<nlohmann::json> start(LiveTranscriber::ResultHandler onResult,
                                      LiveTranscriber::Stage stage = {});
  // Stops the stream and drains the transcriber at the same time, on a job of the side's own;
  // the future is ready when both have ended. Safe at any time, any number of times.
  std::shared_future<void> beginStop();
  // beginStop(), and waits for it.
  void stop() { beginStop().wait(); }

  // The stream's level, 0 without a stream.
  float level();
  // The stream's report, nothing without a stream.
  std::optional<nlohmann::json> report();

 private:
  OtherSide(Platform& platform, LineWriter& lines, EndHandler onEnd, double drainSeconds);

  Platform& platform_;
  LineWriter& lines_;
  const EndHandler onEnd_;
  const double drainSeconds_;
  std::mutex mutex_;
  std::shared_ptr<LiveTranscriber> transcriber_;
  std::shared_ptr<SystemAudioStream> stream_;
  std::shared_future<void> ending_;
};
