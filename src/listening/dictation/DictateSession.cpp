#include "listening/dictation/DictateSession.h"

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <thread>

#include "base/TimeText.h"
#include "base/Launch.h"
#include "base/LineWriter.h"
#include "listening/engine/LiveTranscriber.h"
#include "listening/engine/MicCapture.h"
#include "listening/engine/RealSound.h"
#include "listening/engine/ReportLevels.h"
#include "base/RunLog.h"
#include "base/SharedPool.h"
#include "listening/engine/SoundKeeper.h"
#include "listening/engine/WrittenText.h"
#include "base/Timings.h"
#include "platform/Platform.h"

namespace {

// "1.5", "0.8" or "inf": the quiet time as the start entry writes it.
std::string decimalText(double value) {
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[32];
  auto written = std::to_chars(text, text + sizeof text, value);
  return std::string(text, written.ptr);
}

// The first value a model callback sends; false when the build ended without sending one.
struct FirstValue {
  std::mutex mutex;  // guards given
  bool given = false;
  std::promise<bool> value;

  void give(bool modelInstalled) {
    std::lock_guard guard(mutex);
    if (given) return;
    given = true;
    value.set_value(modelInstalled);
  }
};

}  // namespace

std::shared_ptr<DictateSession> DictateSession::make(Services services, double quietSeconds,
                                                     bool hold, bool keep) {
  return std::shared_ptr<DictateSession>(
      new DictateSession(std::move(services), quietSeconds, hold, keep));
}

DictateSession::DictateSession(Services services, double quietSeconds, bool hold, bool keep)
    : services_(std::move(services)),
      quietSeconds_(quietSeconds),
      hold_(hold),
      keeper_(keep ? std::make_shared<SoundKeeper>(*services_.platform.audioConverters, 120.0)
                   : nullptr),
      processEnd_(ListenEnding::make(services_.end)) {}

void DictateSession::log(const std::string& detail) { logRun("dictate", detail); }

void DictateSession::start() {
  log("start pid=" + std::to_string(getpid()) + " quiet=" + decimalText(quietSeconds_));
  if (hold_) {
    startMicFirst();
  } else {
    startHandsFree();
  }
}

void DictateSession::startHandsFree() {
  Platform& platform = services_.platform;
  auto transcriber = LiveTranscriber::make(*platform.speechEngine, *platform.audioConverters,
                                  services_.lines, speechLocaleIdentifier());
  log("model ready");
  std::weak_ptr<DictateSession> weak = weak_from_this();
  transcriber->start(
      [weak](const std::string& text, bool isFinal) {
        if (auto self = weak.lock()) self->heard(text, isFinal);
      },
      "vesk.me");
  // The server delivers the sound at the recogniser's rate, in mono: no mix-down, no resampling.
  auto mic = MicCapture::make(*platform.audioInput, services_.lines, false, false,
                              platform.speechEngine->audioFormat().sampleRate);
  {
    std::unique_lock guard(mutex_);
    if (ending_) {
      guard.unlock();
      transcriber->finish();
      return;
    }
    transcriber_ = transcriber;
    mic_ = mic;
  }
  mic->start([keeper = keeper_, transcriber](const PcmBuffer& buffer) {
    if (keeper) keeper->keep(buffer);
    transcriber->feed(buffer);
  });
  logRun("dictate", "microphone on", {{"format", mic->format()}});
  {
    std::lock_guard guard(mutex_);
    if (ending_) return;  // an ending that came during the start has the last word
  }
  services_.lines.write("listening", {{"me", true}, {"them", false}});
  watch();
}

void DictateSession::startMicFirst() {
  Platform& platform = services_.platform;
  auto first = std::make_shared<FirstValue>();
  auto firstValue = first->value.get_future();
  LineWriter& lines = services_.lines;

  // Job A: the transcriber, built while the microphone starts.
  auto built = launch("vesk.model", [&platform, &lines, first] {
    try {
      auto transcriber = LiveTranscriber::make(*platform.speechEngine, *platform.audioConverters, lines,
                                      speechLocaleIdentifier(),
                                      [first](bool installed) { first->give(installed); });
      first->give(false);
      return transcriber;
    } catch (...) {
      first->give(false);
      throw;
    }
  });

  auto mic = MicCapture::make(*platform.audioInput, services_.lines, false, true,
                              platform.speechEngine->audioFormat().sampleRate);
  const bool modelInstalled = firstValue.get();

  // Job B: the built transcriber started and handed the waiting sound.
  std::weak_ptr<DictateSession> weak = weak_from_this();
  auto started = launch("vesk.begin", [built, weak] {
    auto transcriber = built.get();
    logRun("dictate", "model ready");
    transcriber->start(
        [weak](const std::string& text, bool isFinal) {
          if (auto self = weak.lock()) self->heard(text, isFinal);
        },
        "vesk.me");
    if (auto self = weak.lock()) {
      self->waiting_.hand(transcriber);
      std::lock_guard guard(self->mutex_);
      self->transcriber_ = transcriber;
    }
    return transcriber;
  });

  if (modelInstalled) {
    {
      std::lock_guard guard(mutex_);
      ready_ = started;
    }
    micSequence(mic);
    started.get();
  } else {
    started.get();
    micSequence(mic);
  }
}

void DictateSession::micSequence(const std::shared_ptr<MicCapture>& mic) {
  {
    std::lock_guard guard(mutex_);
    if (ending_) return;
    mic_ = mic;
  }
  std::weak_ptr<DictateSession> weak = weak_from_this();
  mic->start([weak](const PcmBuffer& buffer) {
    auto self = weak.lock();
    if (!self) return;
    self->gotAudio_.store(true, std::memory_order_relaxed);
    if (!self->gotSound_.load(std::memory_order_relaxed) && isRealSound(buffer)) {
      self->gotSound_.store(true, std::memory_order_relaxed);
    }
    if (self->keeper_) self->keeper_->keep(buffer);
    self->waiting_.take(buffer);
  });
  watchForAudio(mic);
  logRun("dictate", "microphone on", {{"format", mic->format()}});
  bool ending;
  {
    std::lock_guard guard(mutex_);
    ending = ending_;
  }
  if (ending) return;
  log("listening");
  if (mic->onHeadset()) {
    // A headset may deliver silence for a while: "listening" waits for real sound.
    std::lock_guard guard(mutex_);
    waitingForSound_ = true;
  } else {
    services_.lines.write("listening", {{"me", true}, {"them", false}});
  }
  watch();
}

void DictateSession::watchForAudio(const std::shared_ptr<MicCapture>& mic) {
  std::weak_ptr<DictateSession> weak = weak_from_this();
  std::weak_ptr<MicCapture> weakMic = mic;
  retryOnceWithoutAudio(
      services_.timings.dictateNoAudio,
      [weak] {
        auto self = weak.lock();
        if (!self) return true;
        if (self->gotAudio_.load(std::memory_order_relaxed)) return true;
        std::lock_guard guard(self->mutex_);
        return self->ending_;
      },
      [weak, weakMic] {
        if (auto self = weak.lock()) self->log("no audio, starting the microphone again");
        if (auto again = weakMic.lock()) again->startAgain();
      },
      [weak] {
        if (auto self = weak.lock()) self->couldntHear();
      });
}

void retryOnceWithoutAudio(std::chrono::duration<double> delay, std::function<bool()> settled,
                           std::function<void()> startAgain, std::function<void()> giveUp) {
  runAfter(delay, [delay, settled, startAgain, giveUp] {
    if (settled()) return;
    try {
      startAgain();
    } catch (...) {
      giveUp();
      return;
    }
    runAfter(delay, [settled, giveUp] {
      if (!settled()) giveUp();
    });
  });
}

void DictateSession::heard(const std::string& text, bool isFinal) {
  const std::string words = trimmed(text);
  if (words.empty()) return;
  {
    std::lock_guard guard(mutex_);
    heardAny_ = true;
    lastHeard_ = Clock::now();
    ++(isFinal ? lines_ : partials_);
  }
  const std::string written = WrittenText::of(words, isFinal, WrittenText::SpokenMarks::BecomeMarks);
  if (isFinal) {
    services_.lines.write("line", {{"who", "me"}, {"at", isoTimeNow()}, {"text", written}});
  } else {
    services_.lines.write("partial", {{"who", "me"}, {"text", written}});
  }
}

void DictateSession::watch() {
  std::weak_ptr<DictateSession> weak = weak_from_this();
  {
    std::lock_guard guard(mutex_);
    startedAt_ = Clock::now();
  }
  auto ticker = RepeatingTimer::start(services_.timings.dictateTick, [weak] {
    if (auto self = weak.lock()) self->tick();
  });
  auto levels = reportLevels(
      [weak]() -> float {
        auto self = weak.lock();
        if (!self) return 0.0f;
        std::shared_ptr<MicCapture> mic;
        {
          std::lock_guard guard(self->mutex_);
          mic = self->mic_;
        }
        return mic ? mic->meter().level() : 0.0f;
      },
      services_.lines, services_.timings.levelInterval);
  bool ending;
  {
    std::lock_guard guard(mutex_);
    ending = ending_;
    if (!ending) {
      ticker_ = ticker;
      levels_ = levels;
    }
  }
  if (ending) {
    ticker->cancel();
    levels->cancel();
  }
}

void DictateSession::tick() {
  bool heardAny;
  Clock::time_point lastHeard, startedAt;
  long partials, lines, ticks;
  {
    std::lock_guard guard(mutex_);
    ticks = ++ticks_;
    heardAny = heardAny_;
    lastHeard = lastHeard_;
    startedAt = startedAt_;
    partials = partials_;
    lines = lines_;
  }
  if (gotSound_.load(std::memory_order_relaxed)) {
    bool announce = false;
    {
      std::lock_guard guard(mutex_);
      if (waitingForSound_) {
        waitingForSound_ = false;
        announce = !ending_;
      }
    }
    if (announce) services_.lines.write("listening", {{"me", true}, {"them", false}});
  }
  if (ticks % 8 == 0) {
    std::shared_ptr<MicCapture> mic;
    {
      std::lock_guard guard(mutex_);
      mic = mic_;
    }
    if (mic) {
      nlohmann::json report = mic->meter().report();
      report["partials"] = partials;
      report["lines"] = lines;
      logRun("dictate", "mic", report);
    }
  }
  const Timings& timings = services_.timings;
  const auto now = Clock::now();
  const auto since = [now](Clock::time_point then) {
    return std::chrono::duration<double>(now - then).count();
  };
  if (heardAny) {
    if (since(lastHeard) >= quietSeconds_) {
      stop();
      return;
    }
  } else if (since(startedAt) >= timings.dictateSilent.count()) {
    stop();
    return;
  }
  if (since(startedAt) >= timings.dictateCap.count()) stop();
}

bool DictateSession::beginEnding() {
  if (ending_) return false;
  ending_ = true;
  if (ticker_) ticker_->cancel();
  if (levels_) levels_->cancel();
  return true;
}

void DictateSession::guardEnding(std::chrono::duration<double> limit) {
  // Whatever holds the ending up (a sound server that doesn't answer, a decoder that doesn't
  // settle, a start still under way), the process ends in time, with "done".
  processEnd_->watch(limit, [weak = weak_from_this()] {
    if (auto self = weak.lock()) self->finish(0);
  });
}

void DictateSession::finish(int status) {
  processEnd_->end(status, [this, status] {
    if (status == 0) services_.lines.writeLast("done");
  });
}

void DictateSession::stop() {
  {
    std::lock_guard guard(mutex_);
    if (!beginEnding()) return;
  }
  const Timings& timings = services_.timings;
  guardEnding(timings.dictateDrain + timings.endingGrace);
  log("stop");
  std::shared_ptr<MicCapture> mic;
  std::shared_ptr<LiveTranscriber> transcriber;
  std::shared_future<std::shared_ptr<LiveTranscriber>> ready;
  {
    std::lock_guard guard(mutex_);
    mic = mic_;
    transcriber = transcriber_;
    ready = ready_;
  }
  if (mic) mic->stop();
  const auto drainEnds = Clock::now() + std::chrono::duration_cast<Clock::duration>(timings.dictateDrain);
  std::thread([self = shared_from_this(), transcriber, ready, drainEnds] {
    pthread_setname_np(pthread_self(), "vesk.ending");
    const auto drainLeft = [drainEnds] {
      return std::max(0.0, std::chrono::duration<double>(drainEnds - Clock::now()).count());
    };
    std::shared_ptr<LiveTranscriber> started = transcriber;
    if (ready.valid()) {
      // A transcriber still starting is waited for within the drain.
      started = nullptr;
      if (ready.wait_until(drainEnds) == std::future_status::ready) {
        try {
          started = ready.get();
        } catch (...) {
          // A transcriber that never started has nothing to drain.
        }
      }
      if (started) self->waiting_.flush();
    }
    if (started) started->finish(drainLeft());
    if (self->keeper_ && self->keeper_->kept()) {
      self->services_.lines.writeStreamed("sound", "wav", [&self](const auto& piece) {
        self->keeper_->writeWavBase64(piece);
      });
    }
    self->finish(0);
  }).detach();
}

void DictateSession::cancel() {
  {
    std::lock_guard guard(mutex_);
    if (!beginEnding()) return;
  }
  guardEnding(services_.timings.endingGrace);
  log("cancel");
  std::shared_ptr<MicCapture> mic;
  {
    std::lock_guard guard(mutex_);
    mic = mic_;
  }
  if (mic) mic->stop();
  finish(0);
}

void DictateSession::couldntHear() {
  {
    std::lock_guard guard(mutex_);
    if (!beginEnding()) return;
  }
  log("no audio");
  services_.errorText("Couldn't hear the microphone.");
  finish(1);
}
