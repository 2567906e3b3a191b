#pragma once

#include <chrono>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <asio/io_context.hpp>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "base/DurableFile.h"
#include "base/ListenEnding.h"

class EchoAligner;
class EchoReference;
class LineWriter;
class LiveTranscriber;
class MicCapture;
class OtherSide;
class RepeatingTimer;
struct Platform;
struct Timings;

// One meeting being transcribed: the microphone as "me" and, in mode "both" or after
// "hear-them", the computer's own sound as "them". Every settled phrase is appended to the
// transcript (one JSON object per line, on stable storage before it is announced) and announced
// as a "line"; phrases still forming are announced as "partial" only. A resumed meeting appends
// to the same file after a pause record. Every ending goes through one once-only switch; a
// watchdog ends the process a fixed time after the ending began, whatever still runs.
//
// Threads: the session's state lives on its loop (the main thread's), which alone runs every
// method but start(), startThem() and hearThem(); those wait for the sound server and the model
// on a job of their own and touch the state only through the loop. Workers, timers, the stdin
// reader, signals and the sleep notice only post to the loop. No mutex. The microphone's sound
// passes an echo canceller before its decoder; its reference is the other side's sound in mode
// "both", and in mode "mic" the computer's sound recorded for it alone.
class ListenSession : public std::enable_shared_from_this<ListenSession> {
 public:
  using Clock = std::chrono::steady_clock;

  struct Services {
    Platform& platform;
    LineWriter& lines;
    const Timings& timings;
    // The folder of the transcripts and their logs.
    std::filesystem::path folder;
    // Ends the process with a status; a test records it instead.
    ListenEnding::End end;
    // The loop the session's state lives on.
    asio::io_context& loop;
  };

  static std::shared_ptr<ListenSession> make(Services services, std::string id,
                                             std::string source,
                                             std::optional<std::string> pausedFrom);
  ~ListenSession();
  ListenSession(const ListenSession&) = delete;
  ListenSession& operator=(const ListenSession&) = delete;

  const std::string& id() const { return id_; }
  const std::filesystem::path& fileURL() const { return fileURL_; }
  std::chrono::system_clock::time_point startedAt() const { return startedWall_; }

  // Off the loop: builds and starts the microphone's transcriber ("ready"), the microphone, in
  // mode "both" the other side, then says "listening". A session that began ending meanwhile
  // leaves quietly. Throws what the transcriber, the microphone or the pause record met.
  void start();
  // A result of either side.
  void heard(const std::string& who, const std::string& text, bool isFinal);

  // Off the loop: starts an other side unless one runs or the session ends; answers whether the
  // side it started is still the running one. Throws the side's failure (or its time limit).
  bool startThem();
  // Off the loop: the word "hear-them": starts an other side and says so; failures become
  // "error" lines.
  void hearThem();

  // The endings: "stopped", the teardown, "done", status 0.
  void stop(const std::string& reason);
  // Ends silently: no line at all, settled phrases still go into the transcript, status 0.
  void quit();
  // A failed start: "error", the teardown, "done", status 3 for a missing model, else 1.
  void failed(std::exception_ptr error);

  // The self-stop check and the sleep notice.
  void watchForSelfStop();
  // The source reports in the run log and the "level" lines.
  void reportSources();

 private:
  ListenSession(Services services, std::string id, std::string source,
                std::optional<std::string> pausedFrom);

  void settled(const std::string& who, const std::string& text);
  void partial(const std::string& who, const std::string& text);
  void append(const nlohmann::json& record);
  void sayError(const std::string& message);
  // Writes the line unless the session is stopping; answers whether it did.
  bool announce(const std::function<void()>& write);
  void sayListening();
  // Off the loop: the echo canceller of "me", or none (and why) when it can't be had.
  std::shared_ptr<EchoAligner> makeEcho(std::string& problem);
  // Off the loop, in mode "mic": the computer's sound recorded for the canceller alone.
  void startEchoReference(const std::shared_ptr<EchoAligner>& echo);
  // The meeting goes on without the canceller: one "error" line, and the run log.
  void echoFailed(const std::string& why);
  // A result of a transcriber, handed to the loop.
  std::function<void(const std::string&, bool)> heardOnLoop(const std::string& who);
  bool letGo(const std::shared_ptr<OtherSide>& side);
  void lost(const std::shared_ptr<OtherSide>& side, std::exception_ptr error);
  bool begin(bool silently, int exitCode);
  // Runs the teardown, then, after the results it drained, "done" when asked and the end with
  // the status.
  void endAfterTeardown(int status, bool done);
  void tick();
  void reportOnce();

  Services services_;
  const std::string id_;
  const std::string source_;
  const std::optional<std::string> pausedFrom_;
  const Clock::time_point startedAt_ = Clock::now();
  const std::chrono::system_clock::time_point startedWall_ = std::chrono::system_clock::now();
  const std::filesystem::path fileURL_;
  bool stopping_ = false;
  bool announcing_ = true;
  Clock::time_point lastLineAt_ = startedAt_;
  std::shared_ptr<MicCapture> mic_;
  std::shared_ptr<LiveTranscriber> me_;
  std::shared_ptr<OtherSide> them_;
  std::shared_ptr<EchoAligner> echo_;
  std::shared_ptr<EchoReference> echoReference_;
  bool echoFailed_ = false;
  // Sides let go: stopping on their own job, or stopped.
  std::vector<std::shared_ptr<OtherSide>> leaving_;
  DurableFile transcript_;
  std::shared_ptr<RepeatingTimer> ticker_;
  std::shared_ptr<RepeatingTimer> reporter_;
  std::shared_ptr<RepeatingTimer> levels_;
  // Shared with the watchdog, which may outlive the session: the process ends once.
  const std::shared_ptr<ListenEnding> processEnd_;
};
