#pragma once

#include <chrono>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "base/DurableFile.h"
#include "base/ListenEnding.h"

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
// Threads: start() on a job of its own; heard() on the transcribers' decoding threads; stop(),
// quit(), hearThem() from the stdin thread, the signal queue, ticks and the sleep notice;
// failed() from the start job; timers on the shared pool; endings and side stops on jobs of
// their own. announceMutex_ is always taken before mutex_ and serialises the announcements that
// must not follow "stopped" against it. mutex_ guards stopping_, announcing_, lastLineAt_, mic_,
// me_, them_, leaving_, ticker_, reporter_ and levels_, and is held for the whole of each
// transcript append. id_, source_, pausedFrom_, startedAt_, the times and fileURL_ never change.
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

  // Builds and starts the microphone's transcriber ("ready"), the microphone, in mode "both" the
  // other side, then says "listening". A session that began ending meanwhile leaves quietly.
  // Throws what the transcriber, the microphone or the pause record met.
  void start();
  // A result of either side.
  void heard(const std::string& who, const std::string& text, bool isFinal);

  // Starts an other side unless one runs or the session ends; answers whether the side it started
  // is still the running one. Throws the side's failure (or its time limit).
  bool startThem();
  // The word "hear-them": starts an other side and says so; failures become "error" lines.
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
  bool isStopping();

 private:
  ListenSession(Services services, std::string id, std::string source,
                std::optional<std::string> pausedFrom);

  void settled(const std::string& who, const std::string& text);
  void partial(const std::string& who, const std::string& text);
  void appendLocked(const nlohmann::json& record);  // with mutex_ held
  void sayError(const std::string& message);
  // Writes the line under announceMutex_ unless the session is stopping; answers whether it did.
  bool announce(const std::function<void()>& write);
  bool letGo(const std::shared_ptr<OtherSide>& side);  // with mutex_ held
  void lost(const std::shared_ptr<OtherSide>& side, std::exception_ptr error);
  void finish(const std::shared_ptr<OtherSide>& side);
  bool begin(bool silently, int exitCode);
  // Runs the teardown, then "done" when asked, then the end with the status.
  void endAfterTeardown(int status, bool done);
  void teardown();
  void tick();
  void reportOnce();

  Services services_;
  const std::string id_;
  const std::string source_;
  const std::optional<std::string> pausedFrom_;
  const Clock::time_point startedAt_ = Clock::now();
  const std::chrono::system_clock::time_point startedWall_ = std::chrono::system_clock::now();
  const std::filesystem::path fileURL_;
  std::mutex announceMutex_;
  std::mutex mutex_;
  bool stopping_ = false;
  bool announcing_ = true;
  Clock::time_point lastLineAt_ = startedAt_;
  std::shared_ptr<MicCapture> mic_;
  std::shared_ptr<LiveTranscriber> me_;
  std::shared_ptr<OtherSide> them_;
  std::vector<std::shared_ptr<OtherSide>> leaving_;
  DurableFile transcript_;
  std::shared_ptr<RepeatingTimer> ticker_;
  std::shared_ptr<RepeatingTimer> reporter_;
  std::shared_ptr<RepeatingTimer> levels_;
  // Shared with the watchdog, which may outlive the session: the process ends once.
  const std::shared_ptr<ListenEnding> processEnd_;
};
