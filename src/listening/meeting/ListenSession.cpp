#include "listening/meeting/ListenSession.h"

#include <asio/post.hpp>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "listening/engine/EchoAligner.h"
#include "listening/engine/EchoReference.h"
#include "listening/engine/ListenFailure.h"
#include "listening/engine/LiveTranscriber.h"
#include "listening/engine/MicCapture.h"
#include "listening/engine/NeedsDownload.h"
#include "listening/engine/OtherSide.h"
#include "base/RepeatingTimer.h"
#include "listening/engine/ReportLevels.h"
#include "listening/engine/SystemAudioStream.h"
#include "listening/engine/Within.h"
#include "listening/engine/WrittenText.h"
#include "base/LineWriter.h"
#include "base/RunLog.h"
#include "base/DurableFile.h"
#include "base/OnLoop.h"
#include "base/TimeText.h"
#include "base/Timings.h"
#include "base/PermissionStatus.h"
#include "platform/Platform.h"

namespace {

constexpr char COULDNT_HEAR[] = "Couldn\u2019t hear the Mac\u2019s sound: ";
constexpr char NO_ECHO_CANCELLING[] =
    "Couldn\u2019t take the other side\u2019s voice out of the microphone, so it may be "
    "transcribed as yours too: ";

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
  if (stopping_) return false;
  write();
  return true;
}

void ListenSession::sayListening() {
  announce([this] { services_.lines.write("listening", {{"me", true}, {"them", them_ != nullptr}}); });
}

std::function<void(const std::string&, bool)> ListenSession::heardOnLoop(const std::string& who) {
  return [weak = weak_from_this(), &loop = services_.loop, who](const std::string& text, bool isFinal) {
    asio::post(loop, [weak, who, text, isFinal] {
      if (auto self = weak.lock()) self->heard(who, text, isFinal);
    });
  };
}

void ListenSession::start() {
  Platform& platform = services_.platform;
  LineWriter& lines = services_.lines;
  asio::io_context& loop = services_.loop;
  auto me = LiveTranscriber::make(*platform.speechEngine, *platform.audioConverters, lines,
                                  speechLocaleIdentifier());
  std::string echoProblem;
  auto echo = makeEcho(echoProblem);
  if (echo) {
    me->setStage([echo](std::span<const std::int16_t> sound, std::optional<double> capturedAt,
                        std::vector<std::int16_t>& out) {
      if (sound.empty()) {
        echo->flush(out);
      } else {
        echo->mic(sound, capturedAt, out);
      }
    });
  }
  const bool going = onLoop(loop, [this, &lines, &me, &echo, &echoProblem] {
    if (!announce([&lines] { lines.write("ready"); })) return false;
    me->start(heardOnLoop("me"), "vesk.me");
    me_ = me;
    echo_ = echo;
    if (!echo) echoFailed(echoProblem);
    return true;
  });
  if (!going) return;
  // The microphone comes at the recogniser's rate, in mono, as in dictation: no resampling.
  auto mic = MicCapture::make(*platform.audioInput, lines, true, false,
                              platform.speechEngine->audioFormat().sampleRate);
  const bool hearing = onLoop(loop, [this, &mic] {
    if (stopping_) return false;
    mic_ = mic;
    if (pausedFrom_) append({{"pause", {{"from", *pausedFrom_}, {"to", isoTime(startedWall_)}}}});
    return true;
  });
  if (!hearing) return;
  mic->start([me](const PcmBuffer& buffer) { me->feed(buffer); });
  if (echo && source_ != "both") startEchoReference(echo);
  if (source_ == "both") {
    try {
      startThem();
    } catch (...) {
      const std::string message = COULDNT_HEAR + explain(std::current_exception());
      onLoop(loop, [this, &message] { sayError(message); });
    }
  }
  onLoop(loop, [this] { sayListening(); });
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
  const nlohmann::json record = {{"who", who}, {"at", isoTimeNow()}, {"text", text}};
  try {
    append(record);
  } catch (const std::exception& error) {
    const std::string message = std::string("Couldn\u2019t write the transcript: ") + error.what();
    logRun("meeting", "error: " + message);
    services_.lines.write("error", {{"message", message}});
  }
  lastLineAt_ = Clock::now();
  if (announcing_) services_.lines.write("line", record);
}

void ListenSession::partial(const std::string& who, const std::string& text) {
  if (announcing_) services_.lines.write("partial", {{"who", who}, {"text", text}});
}

void ListenSession::append(const nlohmann::json& record) {
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
  asio::io_context& loop = services_.loop;
  if (onLoop(loop, [this] { return stopping_ || them_ != nullptr; })) return false;
  if (!systemAudioAllowedNow(services_.platform)) {
    throw ListenFailure(std::string(systemAudioDenied));
  }
  std::weak_ptr<ListenSession> weak = weak_from_this();
  auto side = OtherSide::make(
      services_.platform, services_.lines,
      [weak, &loop](const std::shared_ptr<OtherSide>& ended, std::exception_ptr error) {
        asio::post(loop, [weak, ended, error] {
          if (auto self = weak.lock()) self->lost(ended, error);
        });
      },
      services_.timings.meetingDrain.count());
  std::shared_ptr<EchoAligner> echo;
  const bool mine = onLoop(loop, [this, &side, &echo] {
    if (stopping_ || them_) return false;
    them_ = side;
    // In mode "both" what the other side plays is the canceller's reference.
    if (source_ == "both") echo = echo_;
    return true;
  });
  if (!mine) return false;
  logRun("them", "starting");
  try {
    LiveTranscriber::Stage reference;
    if (echo) {
      reference = [echo](std::span<const std::int16_t> sound, std::optional<double> capturedAt,
                         std::vector<std::int16_t>& out) {
        echo->reference(sound, capturedAt);
        out.assign(sound.begin(), sound.end());
      };
    }
    auto info = within(services_.timings.otherSideStartLimit,
                       [side, heard = heardOnLoop("them"), reference] { return side->start(heard, reference); });
    if (info) logRun("them", "started", *info);
    return onLoop(loop, [this, &side] { return them_ == side && !stopping_; });
  } catch (...) {
    if (!onLoop(loop, [this, &side] { return letGo(side); })) return false;
    side->stop();
    throw;
  }
}

std::shared_ptr<EchoAligner> ListenSession::makeEcho(std::string& problem) {
  try {
    auto canceller = services_.platform.echoCancellers->make();
    return std::make_shared<EchoAligner>(
        std::move(canceller), [weak = weak_from_this(), &loop = services_.loop](const std::string& why) {
          asio::post(loop, [weak, why] {
            if (auto self = weak.lock()) self->echoFailed(why);
          });
        });
  } catch (const std::exception& error) {
    problem = error.what();
    return nullptr;
  }
}

void ListenSession::startEchoReference(const std::shared_ptr<EchoAligner>& echo) {
  if (!systemAudioAllowedNow(services_.platform)) {
    logRun("echo", "off: the computer\u2019s sound may not be recorded");
    return;
  }
  auto reference = std::make_shared<EchoReference>(*services_.platform.systemAudio, echo);
  const bool mine = onLoop(services_.loop, [this, &reference] {
    if (stopping_) return false;
    echoReference_ = reference;
    return true;
  });
  if (!mine) return;
  try {
    reference->start(services_.timings.echoReferenceStartLimit);
    logRun("echo", "on, its reference the computer\u2019s sound recorded for it alone");
  } catch (...) {
    reference->stop();
    const std::string why = explain(std::current_exception());
    onLoop(services_.loop, [this, &why] { echoFailed(why); });
  }
}

void ListenSession::echoFailed(const std::string& why) {
  if (echoFailed_) return;
  echoFailed_ = true;
  logRun("echo", "off: " + why);
  announce([this, &why] { services_.lines.write("error", {{"message", NO_ECHO_CANCELLING + why}}); });
}

bool ListenSession::letGo(const std::shared_ptr<OtherSide>& side) {
  if (them_ != side || stopping_) return false;
  them_ = nullptr;
  leaving_.push_back(side);
  return true;
}

void ListenSession::lost(const std::shared_ptr<OtherSide>& side, std::exception_ptr error) {
  if (!letGo(side)) return;
  logRun("them", "ended by itself: " + description(error));
  sayListening();
  sayError(COULDNT_HEAR + explain(error));
  side->beginStop();
}

void ListenSession::hearThem() {
  bool started;
  try {
    started = startThem();
  } catch (...) {
    const std::string message = COULDNT_HEAR + explain(std::current_exception());
    onLoop(services_.loop, [this, &message] { sayError(message); });
    return;
  }
  if (started) onLoop(services_.loop, [this] { sayListening(); });
}

bool ListenSession::begin(bool silently, int exitCode) {
  if (stopping_) return false;
  stopping_ = true;
  if (silently) announcing_ = false;
  processEnd_->watch(services_.timings.meetingWatchdog, [ending = processEnd_, exitCode] { ending->end(exitCode); });
  return true;
}

void ListenSession::stop(const std::string& reason) {
  if (!begin(false, 0)) return;
  logRun("meeting", "stop: " + reason);
  services_.lines.write("stopped", {{"reason", reason}});
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

void ListenSession::endAfterTeardown(int status, bool done) {
  for (auto* timer : {&ticker_, &reporter_, &levels_}) {
    if (*timer) (*timer)->cancel();
  }
  if (mic_) mic_->stop();
  if (echoReference_) echoReference_->stop();
  // The sides drain on their own jobs while the microphone's transcriber drains here; what they
  // settle meanwhile waits on the loop, and goes into the transcript before it closes.
  std::vector<std::shared_future<void>> sides;
  if (them_) sides.push_back(them_->beginStop());
  for (auto& side : leaving_) sides.push_back(side->beginStop());
  if (me_) me_->finish(services_.timings.meetingDrain.count());
  for (auto& side : sides) side.wait();
  asio::post(services_.loop, [self = shared_from_this(), status, done] {
    self->transcript_.close();
    logRun("meeting", "teardown finished");
    self->processEnd_->end(status, [&self, done] {
      if (done) self->services_.lines.writeLast("done");
    });
  });
}

void ListenSession::tick() {
  if (stopping_) return;
  const auto now = Clock::now();
  const Timings& timings = services_.timings;
  if (!mic_) lastLineAt_ = now;
  const auto quietAt = lastLineAt_ + std::chrono::duration_cast<Clock::duration>(timings.meetingQuiet);
  const auto capAt = startedAt_ + std::chrono::duration_cast<Clock::duration>(timings.meetingCap);
  if (now >= quietAt && quietAt <= capAt) {
    stop("quiet");
  } else if (now >= capAt && capAt < quietAt) {
    stop("cap");
  }
}

void ListenSession::watchForSelfStop() {
  std::weak_ptr<ListenSession> weak = weak_from_this();
  asio::io_context& loop = services_.loop;
  ticker_ = RepeatingTimer::start(loop.get_executor(), services_.timings.meetingTick, [weak] {
    if (auto self = weak.lock()) self->tick();
  });
  // An ending that came first has finished its teardown already.
  if (stopping_) ticker_->cancel();
  services_.platform.sleepNotice->watch([weak, &loop] {
    asio::post(loop, [weak] {
      if (auto self = weak.lock()) self->stop("sleep");
    });
  });
}

void ListenSession::reportSources() {
  std::weak_ptr<ListenSession> weak = weak_from_this();
  const auto executor = services_.loop.get_executor();
  reporter_ = RepeatingTimer::start(executor, services_.timings.meetingReport, [weak] {
    if (auto self = weak.lock()) self->reportOnce();
  });
  levels_ = reportLevels(
      executor,
      [weak]() -> float {
        auto self = weak.lock();
        if (!self) return 0.0f;
        return std::max(self->mic_ ? self->mic_->meter().level() : 0.0f,
                        self->them_ ? self->them_->level() : 0.0f);
      },
      services_.lines, services_.timings.levelInterval);
  if (stopping_) {
    reporter_->cancel();
    levels_->cancel();
  }
}

void ListenSession::reportOnce() {
  if (mic_) {
    nlohmann::json report = mic_->meter().report();
    if (report.contains("calls")) report["buffers"] = report["calls"];
    report.erase("calls");
    logRun("meeting", "mic", report);
  }
  if (them_) {
    if (auto report = them_->report()) logRun("them", "stream", *report);
  }
}
