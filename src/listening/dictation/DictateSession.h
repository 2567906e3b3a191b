#pragma once

#include <asio/io_context.hpp>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>

#include "base/ListenEnding.h"
#include "base/RepeatingTimer.h"

class LineWriter;
class LiveTranscriber;
class MicCapture;
class SoundKeeper;
struct Platform;
struct Timings;

// One dictation: the microphone streamed into a live transcriber, what it hears reported as
// "partial" and "line" lines, a "level" line eight times a second, and an ending by itself after
// quiet, when nothing was said at all, or at the cap; the parent ends it early with stop (keep
// what was said) or cancel (drop it). Keep modes also hand back the microphone's sound as a WAV
// file before the end. Hold modes start the microphone first and hold its sound until the
// transcriber is ready, and give up when the microphone delivers nothing. An ending always ends
// the process in time (a cancel within the grace, a stop within the drain and the grace),
// whatever the sound server does; "done" is its last line and nothing follows it.
//
// Threads: the session's state lives on its loop (the main thread's), which runs every method
// but start(). start() waits for the sound server on the start job, and the hold modes load the
// model on a job of their own meanwhile; both touch the state only through the loop. The
// transcriber's worker, the timers and the stdin reader only post to the loop; the capture
// callback uses atomics only. No mutex. The ending's watchdog runs on a thread of its own and
// processEnd_ ends the process once.
class DictateSession : public std::enable_shared_from_this<DictateSession> {
 public:
  using Clock = std::chrono::steady_clock;

  struct Services {
    Platform& platform;
    LineWriter& lines;
    const Timings& timings;
    // Writes an error text to standard error (as it stands) before a failing end.
    std::function<void(const std::string&)> errorText;
    ListenEnding::End end;
    // The loop the session's state lives on.
    asio::io_context& loop;
  };

  static std::shared_ptr<DictateSession> make(Services services, double quietSeconds, bool hold,
                                              bool keep);
  DictateSession(const DictateSession&) = delete;
  DictateSession& operator=(const DictateSession&) = delete;

  // Off the loop: prepares the transcriber and the microphone and begins listening; returns once
  // listening has begun, or early when the session was ended meanwhile. Throws what the start met.
  void start();
  // The transcriber's results.
  void heard(const std::string& text, bool isFinal);
  // Ends keeping what was said: drains the transcriber, writes "sound" (keep modes) and "done".
  void stop();
  // Ends dropping what was said: "done" at once.
  void cancel();
  // Ends with "Couldn't hear the microphone." and status 1 when the microphone stays silent.
  void couldntHear();

 private:
  DictateSession(Services services, double quietSeconds, bool hold, bool keep);

  void startHandsFree();
  void startMicFirst();
  void micSequence(const std::shared_ptr<MicCapture>& mic,
                   const std::shared_ptr<LiveTranscriber>& transcriber);
  // The transcriber's results, handed to the loop.
  std::function<void(const std::string&, bool)> heardOnLoop();
  void watchForAudio(const std::shared_ptr<MicCapture>& mic);
  void watch();
  void tick();
  bool beginEnding();
  // Ends the process after the limit unless the ending has finished by then.
  void guardEnding(std::chrono::duration<double> limit);
  // Once only: "done" as the last line (status 0) and the end of the process.
  void finish(int status);
  void log(const std::string& detail);

  Services services_;
  bool ending_ = false;
  bool heardAny_ = false;
  Clock::time_point lastHeard_ = Clock::now();
  Clock::time_point startedAt_ = Clock::now();
  const double quietSeconds_;
  const bool hold_;
  std::atomic<bool> gotAudio_{false};
  std::atomic<bool> gotSound_{false};
  bool waitingForSound_ = false;
  const std::shared_ptr<SoundKeeper> keeper_;
  std::shared_ptr<MicCapture> mic_;
  std::shared_ptr<LiveTranscriber> transcriber_;
  // The hold modes' transcriber, ready once its model has loaded and it has started.
  std::shared_future<std::shared_ptr<LiveTranscriber>> ready_;
  std::shared_ptr<RepeatingTimer> ticker_;
  std::shared_ptr<RepeatingTimer> levels_;
  // Shared with the ending's watchdog, which may outlive the session: the process ends once.
  const std::shared_ptr<ListenEnding> processEnd_;
  long partials_ = 0;
  long lines_ = 0;
  long ticks_ = 0;
};

// The hold modes' watchdog, on the loop: after the delay, unless settled, starts the microphone
// again; if that fails, or it is still not settled one more delay later, gives up.
void retryOnceWithoutAudio(asio::io_context& loop, std::chrono::duration<double> delay,
                           std::function<bool()> settled, std::function<void()> startAgain,
                           std::function<void()> giveUp);
