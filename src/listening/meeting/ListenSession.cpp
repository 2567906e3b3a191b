#include "listening/meeting/ListenSession.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include "listening/engine/ListenFailure.h"
#include "listening/engine/LiveTranscriber.h"
#include "listening/engine/MicCapture.h"
#include "listening/engine/NeedsDownload.h"
#include "listening/engine/OtherSide.h"
#include "base/RepeatingTimer.h"
#include "listening/engine/ReportLevels.h"
#include "base/SharedPool.h"
#include "listening/engine/SystemAudioStream.h"
#include "listening/engine/Within.h"
#include "listening/engine/WrittenText.h"
#include "base/LineWriter.h"
#include "base/RunLog.h"
#include "base/DurableFile.h"
#include "base/Launch.h"
#include "base/TimeText.h"
#include "base/Timings.h"
#include "base/PermissionStatus.h"
#include "platform/Platform.h"

namespace {

constexpr char COULDNT_HEAR[] = "Couldn\u2019t hear the Mac\u2019s sound: ";

// Runs the work on a detached thread of its own: jobs that wait for a drain or a server must not
// hold the shared pool's few threads.
std::string description(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& failure) {
    return failure.what();
  } catch (...) {
    return "unknown error";
  }
}

}  // namespace

std::shared_ptr<ListenSession> ListenSession::make(Services services, std::string id,
                                                   std::string source,
                                                   std::optional<std::string> pausedFrom) {
  return std::shared_ptr<ListenSession>(new ListenSession(
      std::move(services), std::move(id), std::move(source), std::move(pausedFrom)));
}

ListenSession::ListenSession(Services services, std::string id, std::string source,
                             std::optional<std::string> pausedFrom)
    : services_(std::move(services)),
      id_(std::move(id)),
      source_(std::move(source)),
      pausedFrom_(std::move(pausedFrom)),
      fileURL_(services_.folder / (id_ + ".jsonl")),
      transcript_(fileURL_),
      processEnd_(ListenEnding::make(services_.end)) {}

ListenSession::~ListenSession() = default;

bool ListenSession::announce(const std::function<void()>& write) {
  std::lock_guard announcing(announceMutex_);
  {
    std::lock_guard guard(mutex_);
    if (stopping_) return false;
  }
  write();
  return true;
}

void ListenSession::start() {
  Platform& platform = services_.platform;
  LineWriter& lines = services_.lines;
  auto me = LiveTranscriber::make(*platform.speechEngine, *platform.audioConverters, lines,
                                  speechLocaleIdentifier());
  if (!announce([&lines] { lines.write("ready"); })) return;
  std::weak_ptr<ListenSession> weak = weak_from_this();
  me->start(
      [weak](const std::string& text, bool isFinal) {
        if (auto self = weak.lock()) self->heard("me", text, isFinal);
      },
      "vesk.me");
  {
    std::unique_lock guard(mutex_);
    if (stopping_) {
      guard.unlock();
      me->finish(services_.timings.meetingDrain.count());
      return;
    }
    me_ = me;
  }
  // The microphone comes at the recogniser's rate, in mono, as in dictation: no resampling.
  auto mic = MicCapture::make(*platform.audioInput, lines, true, false,
                              platform.speechEngine->audioFormat().sampleRate);
  {
    std::lock_guard guard(mutex_);
    if (stopping_) return;
    mic_ = mic;
    if (pausedFrom_) {
      appendLocked({{"pause", {{"from", *pausedFrom_}, {"to", isoTime(startedWall_)}}}});
    }
  }
  mic->start([me](const PcmBuffer& buffer) { me->feed(buffer); });
  if (source_ == "both") {
    try {
      startThem();
    } catch (...) {
      sayError(COULDNT_HEAR + explain(std::current_exception()));
    }
  }
  if (!announce([this, &lines] {
        bool them;
        {
          std::lock_guard guard(mutex_);
          them = them_ != nullptr;
        }
        lines.write("listening", {{"me", true}, {"them", them}});
      })) {
    mic->stop();
  }
}

void ListenSession::heard(const std::string& who, const std::string& text, bool isFinal) {
  const std::string words = trimmed(text);
  if (words.empty()) return;
  // People say "comma" in conversation: in a meeting the spoken marks stay words.
  const std::string written = WrittenText::of(words, isFinal, WrittenText::SpokenMarks::StayWords);
  if (isFinal) {
    settled(who, written);
  } else {
    partial(who, written);
  }
}

void ListenSession::settled(const std::string& who, const std::string& text) {
  const auto now = Clock::now();
  const nlohmann::json record = {{"who", who}, {"at", isoTimeNow()}, {"text", text}};
  std::string problem;
  {
    std::lock_guard guard(mutex_);
    try {
      appendLocked(record);
    } catch (const std::exception& error) {
      problem = error.what();
    }
  }
  if (!problem.empty()) {
    const std::string message = "Couldn\u2019t write the transcript: " + problem;
    logRun("meeting", "error: " + message);
    services_.lines.write("error", {{"message", message}});
  }
  bool announcing;
  {
    std::lock_guard guard(mutex_);
    lastLineAt_ = now;
    announcing = announcing_;
  }
  if (announcing) services_.lines.write("line", record);
}

void ListenSession::partial(const std::string& who, const std::string& text) {
  bool announcing;
  {
    std::lock_guard guard(mutex_);
    announcing = announcing_;
  }
  if (announcing) services_.lines.write("partial", {{"who", who}, {"text", text}});
}

void ListenSession::appendLocked(const nlohmann::json& record) {
  std::string text;
  try {
    text = record.dump() + "\n";
  } catch (const nlohmann::json::exception&) {
    return;  // a record that can't be written as UTF-8 JSON is dropped
  }
  try {
    transcript_.append(text);
  } catch (const DurableFile::Failure& failure) {
    // Worded as the file system's own errors are.
    switch (failure.step) {
      case DurableFile::Failure::Step::Create:
        throw std::filesystem::filesystem_error("cannot create directories", failure.path, failure.code());
      case DurableFile::Failure::Step::Open:
        throw std::system_error(failure.code(), failure.path.string());
      default:
        throw std::system_error(failure.code());
    }
  }
}

void ListenSession::sayError(const std::string& message) {
  logRun("meeting", "error: " + message);
  announce([this, &message] { services_.lines.write("error", {{"message", message}}); });
}

bool ListenSession::startThem() {
  {
    std::lock_guard guard(mutex_);
    if (stopping_ || them_) return false;
  }
  if (!systemAudioAllowedNow(services_.platform)) {
    throw ListenFailure(std::string(systemAudioDenied));
  }
  std::weak_ptr<ListenSession> weak = weak_from_this();
  std::shared_ptr<OtherSide> side;
  {
    std::lock_guard guard(mutex_);
    if (stopping_ || them_) return false;
    side = OtherSide::make(
        services_.platform, services_.lines,
        [weak](const std::shared_ptr<OtherSide>& ended, std::exception_ptr error) {
          launch("vesk.lost", [weak, ended, error] {
            if (auto self = weak.lock()) self->lost(ended, error);
          });
        },
        services_.timings.meetingDrain.count());
    them_ = side;
  }
  logRun("them", "starting");
  try {
    auto info = within(services_.timings.otherSideStartLimit, [side, weak] {
      return side->start([weak](const std::string& text, bool isFinal) {
        if (auto self = weak.lock()) self->heard("them", text, isFinal);
      });
    });
    if (info) logRun("them", "started", *info);
    std::lock_guard guard(mutex_);
    return them_ == side && !stopping_;
  } catch (...) {
    bool mine;
    {
      std::lock_guard guard(mutex_);
      mine = letGo(side);
    }
    if (!mine) return false;
    launch("vesk.letgo", [self = shared_from_this(), side] { self->finish(side); });
    throw;
  }
}

bool ListenSession::letGo(const std::shared_ptr<OtherSide>& side) {
  if (them_ != side || stopping_) return false;
  them_ = nullptr;
  leaving_.push_back(side);
  return true;
}

void ListenSession::lost(const std::shared_ptr<OtherSide>& side, std::exception_ptr error) {
  {
    std::lock_guard guard(mutex_);
    if (!letGo(side)) return;
  }
  logRun("them", "ended by itself: " + description(error));
  announce([this] { services_.lines.write("listening", {{"me", true}, {"them", false}}); });
  sayError(COULDNT_HEAR + explain(error));
  launch("vesk.letgo", [self = shared_from_this(), side] { self->finish(side); });
}

void ListenSession::finish(const std::shared_ptr<OtherSide>& side) {
  side->stop();
  std::lock_guard guard(mutex_);
  std::erase(leaving_, side);
}

void ListenSession::hearThem() {
  {
    std::lock_guard guard(mutex_);
    if (stopping_ || them_) return;
  }
  bool started;
  try {
    started = startThem();
  } catch (...) {
    sayError(COULDNT_HEAR + explain(std::current_exception()));
    return;
  }
  if (!started) return;
  announce([this] {
    bool them;
    {
      std::lock_guard guard(mutex_);
      them = them_ != nullptr;
    }
    services_.lines.write("listening", {{"me", true}, {"them", them}});
  });
}

bool ListenSession::begin(bool silently, int exitCode) {
  {
    std::lock_guard guard(mutex_);
    if (stopping_) return false;
    stopping_ = true;
    if (silently) announcing_ = false;
  }
  processEnd_->watch(services_.timings.meetingWatchdog, [ending = processEnd_, exitCode] { ending->end(exitCode); });
  return true;
}

void ListenSession::endAfterTeardown(int status, bool done) {
  launch("vesk.ending", [self = shared_from_this(), status, done] {
    self->teardown();
    self->processEnd_->end(status, [&self, done] {
      if (done) self->services_.lines.writeLast("done");
    });
  });
}

void ListenSession::stop(const std::string& reason) {
  if (!begin(false, 0)) return;
  logRun("meeting", "stop: " + reason);
  {
    std::lock_guard announcing(announceMutex_);
    services_.lines.write("stopped", {{"reason", reason}});
  }
  endAfterTeardown(0, true);
}

void ListenSession::quit() {
  if (!begin(true, 0)) return;
  logRun("meeting", "quit: stdin ended, or SIGTERM or SIGINT");
  endAfterTeardown(0, false);
}

void ListenSession::failed(std::exception_ptr error) {
  bool missingModel = false;
  try {
    std::rethrow_exception(error);
  } catch (const NeedsDownload&) {
    missingModel = true;
  } catch (...) {
  }
  const int status = missingModel ? 3 : 1;
  if (!begin(false, status)) return;
  const std::string text = description(error);
  logRun("meeting", "failed (exit " + std::to_string(status) + "): " + text);
  services_.lines.write("error", {{"message", text}});
  endAfterTeardown(status, true);
}

void ListenSession::teardown() {
  std::shared_ptr<MicCapture> mic;
  std::shared_ptr<LiveTranscriber> me;
  std::vector<std::shared_ptr<RepeatingTimer>> timers;
  std::vector<std::shared_ptr<OtherSide>> sides;
  {
    std::lock_guard guard(mutex_);
    mic = mic_;
    me = me_;
    timers = {ticker_, reporter_, levels_};
    if (them_) sides.push_back(them_);
    sides.insert(sides.end(), leaving_.begin(), leaving_.end());
  }
  for (auto& timer : timers) {
    if (timer) timer->cancel();
  }
  if (mic) mic->stop();
  std::vector<std::thread> stopping;
  for (auto& side : sides) stopping.emplace_back([side] { side->stop(); });
  if (me) me->finish(services_.timings.meetingDrain.count());
  for (auto& thread : stopping) thread.join();
  {
    std::lock_guard guard(mutex_);
    transcript_.close();
  }
  logRun("meeting", "teardown finished");
}

void ListenSession::tick() {
  const auto now = Clock::now();
  const Timings& timings = services_.timings;
  std::optional<std::pair<Clock::time_point, const char*>> deadline;
  {
    std::lock_guard guard(mutex_);
    if (!stopping_) {
      if (!mic_) lastLineAt_ = now;
      const auto quietAt = lastLineAt_ + std::chrono::duration_cast<Clock::duration>(timings.meetingQuiet);
      const auto capAt = startedAt_ + std::chrono::duration_cast<Clock::duration>(timings.meetingCap);
      deadline = quietAt <= capAt ? std::make_pair(quietAt, "quiet") : std::make_pair(capAt, "cap");
    }
  }
  if (deadline && now >= deadline->first) stop(deadline->second);
}

void ListenSession::watchForSelfStop() {
  std::weak_ptr<ListenSession> weak = weak_from_this();
  auto ticker = RepeatingTimer::start(services_.timings.meetingTick, [weak] {
    if (auto self = weak.lock()) self->tick();
  });
  bool stopping;
  {
    std::lock_guard guard(mutex_);
    ticker_ = ticker;
    stopping = stopping_;
  }
  // An ending that came first may have finished its teardown already.
  if (stopping) ticker->cancel();
  services_.platform.sleepNotice->watch([weak] {
    if (auto self = weak.lock()) self->stop("sleep");
  });
}

void ListenSession::reportSources() {
  std::weak_ptr<ListenSession> weak = weak_from_this();
  auto reporter = RepeatingTimer::start(services_.timings.meetingReport, [weak] {
    if (auto self = weak.lock()) self->reportOnce();
  });
  auto levels = reportLevels(
      [weak]() -> float {
        auto self = weak.lock();
        if (!self) return 0.0f;
        std::shared_ptr<MicCapture> mic;
        std::shared_ptr<OtherSide> them;
        {
          std::lock_guard guard(self->mutex_);
          mic = self->mic_;
          them = self->them_;
        }
        return std::max(mic ? mic->meter().level() : 0.0f, them ? them->level() : 0.0f);
      },
      services_.lines, services_.timings.levelInterval);
  bool stopping;
  {
    std::lock_guard guard(mutex_);
    reporter_ = reporter;
    levels_ = levels;
    stopping = stopping_;
  }
  if (stopping) {
    reporter->cancel();
    levels->cancel();
  }
}

void ListenSession::reportOnce() {
  std::shared_ptr<MicCapture> mic;
  std::shared_ptr<OtherSide> them;
  {
    std::lock_guard guard(mutex_);
    mic = mic_;
    them = them_;
  }
  if (mic) {
    nlohmann::json report = mic->meter().report();
    if (report.contains("calls")) report["buffers"] = report["calls"];
    report.erase("calls");
    logRun("meeting", "mic", report);
  }
  if (them) {
    if (auto report = them->report()) logRun("them", "stream", *report);
  }
}

bool ListenSession::isStopping() {
  std::lock_guard guard(mutex_);
  return stopping_;
}
