#include "listening/dictation/DictateSession.h"

#include <unistd.h>

#include <asio/post.hpp>
#include <asio/steady_timer.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <mutex>

#include "base/TimeText.h"
#include "base/Launch.h"
#include "base/OnLoop.h"
#include "base/LineWriter.h"
#include "listening/engine/LiveTranscriber.h"
#include "listening/engine/MicCapture.h"
#include "listening/engine/RealSound.h"
#include "listening/engine/ReportLevels.h"
#include "base/RunLog.h"
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

std::function<void(const std::string&, bool)> DictateSession::heardOnLoop() {
  return [weak = weak_from_this(), &loop = services_.loop](const std::string& text, bool isFinal) {
    asio::post(loop, [weak, text, isFinal] {
      if (auto self = weak.lock()) self->heard(text, isFinal);
    });
  };
}

void DictateSession::startHandsFree() {
  Platform& platform = services_.platform;
  auto transcriber = LiveTranscriber::make(*platform.speechEngine, *platform.audioConverters,
                                           services_.lines, speechLocaleIdentifier());
  log("model ready");
  // The server delivers the sound at the recogniser's rate, in mono: no mix-down, no resampling.
  auto mic = MicCapture::make(*platform.audioInput, services_.lines, false, false,
                              platform.speechEngine->audioFormat().sampleRate);
  const bool going = onLoop(services_.loop, [this, &transcriber, &mic] {
    if (ending_) return false;
    transcriber->start(heardOnLoop(), "vesk.me");
    transcriber_ = transcriber;
    mic_ = mic;
    return true;
  });
  if (!going) return;
  mic->start([keeper = keeper_, transcriber](const PcmBuffer& buffer) {
    if (keeper) keeper->keep(buffer);
    transcriber->feed(buffer);
  });
  logRun("dictate", "microphone on", {{"format", mic->format()}});
  onLoop(services_.loop, [this] {
    if (ending_) return;  // an ending that came during the start has the last word
    services_.lines.write("listening", {{"me", true}, {"them", false}});
    watch();
  });
}

void DictateSession::startMicFirst() {
  Platform& platform = services_.platform;
  auto first = std::make_shared<FirstValue>();
  auto firstValue = first->value.get_future();

  // The model loads on a job of its own while the microphone starts; the sound waits in the
  // transcriber's queue until the transcriber has started.
  auto transcriber = LiveTranscriber::waiting(*platform.speechEngine, *platform.audioConverters,
                                              services_.lines);
  auto started = launch("vesk.model", [transcriber, first, heard = heardOnLoop()] {
    try {
      transcriber->load(speechLocaleIdentifier(), [first](bool installed) { first->give(installed); });
      first->give(false);
    } catch (...) {
      first->give(false);
      throw;
    }
    logRun("dictate", "model ready");
    transcriber->start(heard, "vesk.me");
    return transcriber;
  });

  auto mic = MicCapture::make(*platform.audioInput, services_.lines, false, true,
                              platform.speechEngine->audioFormat().sampleRate);
  const bool modelInstalled = firstValue.get();
  if (modelInstalled) {
    onLoop(services_.loop, [this, &started] { ready_ = started; });
    micSequence(mic, transcriber);
    started.get();
  } else {
    started.get();
    onLoop(services_.loop, [this, &transcriber] { transcriber_ = transcriber; });
    micSequence(mic, transcriber);
  }
}

void DictateSession::micSequence(const std::shared_ptr<MicCapture>& mic,
                                 const std::shared_ptr<LiveTranscriber>& transcriber) {
  const bool going = onLoop(services_.loop, [this, &mic] {
    if (ending_) return false;
    mic_ = mic;
    return true;
  });
  if (!going) return;
  std::weak_ptr<DictateSession> weak = weak_from_this();
  mic->start([weak, transcriber](const PcmBuffer& buffer) {
    auto self = weak.lock();
    if (!self) return;
    self->gotAudio_.store(true, std::memory_order_relaxed);
    if (!self->gotSound_.load(std::memory_order_relaxed) && isRealSound(buffer)) {
      self->gotSound_.store(true, std::memory_order_relaxed);
    }
    if (self->keeper_) self->keeper_->keep(buffer);
    transcriber->feed(buffer);
  });
  logRun("dictate", "microphone on", {{"format", mic->format()}});
  onLoop(services_.loop, [this, &mic] {
    if (ending_) return;
    watchForAudio(mic);
    log("listening");
    if (mic->onHeadset()) {
      // A headset may deliver silence for a while: "listening" waits for real sound.
      waitingForSound_ = true;
    } else {
      services_.lines.write("listening", {{"me", true}, {"them", false}});
    }
    watch();
  });
}

void DictateSession::watchForAudio(const std::shared_ptr<MicCapture>& mic) {
  std::weak_ptr<DictateSession> weak = weak_from_this();
  std::weak_ptr<MicCapture> weakMic = mic;
  retryOnceWithoutAudio(
      services_.loop, services_.timings.dictateNoAudio,
      [weak] {
        auto self = weak.lock();
        return !self || self->gotAudio_.load(std::memory_order_relaxed) || self->ending_;
      },
      [weak, weakMic] {
        if (auto self = weak.lock()) self->log("no audio, starting the microphone again");
        if (auto again = weakMic.lock()) again->startAgain();
      },
      [weak] {
        if (auto self = weak.lock()) self->couldntHear();
      });
}

void retryOnceWithoutAudio(asio::io_context& loop, std::chrono::duration<double> delay,
                           std::function<bool()> settled, std::function<void()> startAgain,
                           std::function<void()> giveUp) {
  const auto wait = std::chrono::duration_cast<asio::steady_timer::duration>(delay);
  auto timer = std::make_shared<asio::steady_timer>(loop, wait);
  timer->async_wait([timer, wait, settled, startAgain, giveUp](const std::error_code& error) {
    if (error || settled()) return;
    try {
      startAgain();
    } catch (...) {
      giveUp();
      return;
    }
    timer->expires_after(wait);
    timer->async_wait([timer, settled, giveUp](const std::error_code& again) {
      if (!again && !settled()) giveUp();
    });
  });
}

void DictateSession::heard(const std::string& text, bool isFinal) {
  const std::string words = trimmed(text);
  if (words.empty()) return;
  heardAny_ = true;
  lastHeard_ = Clock::now();
  ++(isFinal ? lines_ : partials_);
  const std::string written = WrittenText::of(words, isFinal, WrittenText::SpokenMarks::BecomeMarks);
  if (isFinal) {
    services_.lines.write("line", {{"who", "me"}, {"at", isoTimeNow()}, {"text", written}});
  } else {
    services_.lines.write("partial", {{"who", "me"}, {"text", written}});
  }
}

void DictateSession::watch() {
  std::weak_ptr<DictateSession> weak = weak_from_this();
  const auto executor = services_.loop.get_executor();
  startedAt_ = Clock::now();
  ticker_ = RepeatingTimer::start(executor, services_.timings.dictateTick, [weak] {
    if (auto self = weak.lock()) self->tick();
  });
  levels_ = reportLevels(
      executor,
      [weak]() -> float {
        auto self = weak.lock();
        return self && self->mic_ ? self->mic_->meter().level() : 0.0f;
      },
      services_.lines, services_.timings.levelInterval);
}

void DictateSession::tick() {
  ++ticks_;
  if (gotSound_.load(std::memory_order_relaxed) && waitingForSound_) {
    waitingForSound_ = false;
    if (!ending_) services_.lines.write("listening", {{"me", true}, {"them", false}});
  }
  if (ticks_ % 8 == 0 && mic_) {
    nlohmann::json report = mic_->meter().report();
    report["partials"] = partials_;
    report["lines"] = lines_;
    logRun("dictate", "mic", report);
  }
  const Timings& timings = services_.timings;
  const auto now = Clock::now();
  const auto since = [now](Clock::time_point then) {
    return std::chrono::duration<double>(now - then).count();
  };
  if (heardAny_) {
    if (since(lastHeard_) >= quietSeconds_) {
      stop();
      return;
    }
  } else if (since(startedAt_) >= timings.dictateSilent.count()) {
    stop();
    return;
  }
  if (since(startedAt_) >= timings.dictateCap.count()) stop();
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
  if (!beginEnding()) return;
  const Timings& timings = services_.timings;
  guardEnding(timings.dictateDrain + timings.endingGrace);
  log("stop");
  if (mic_) mic_->stop();
  const auto drainEnds = Clock::now() + std::chrono::duration_cast<Clock::duration>(timings.dictateDrain);
  std::shared_ptr<LiveTranscriber> started = transcriber_;
  if (ready_.valid()) {
    // A transcriber still starting is waited for within the drain.
    if (ready_.wait_until(drainEnds) == std::future_status::ready) {
      try {
        started = ready_.get();
      } catch (...) {
        // A transcriber that never started has nothing to drain.
      }
    }
  }
  if (started) started->finish(std::max(0.0, std::chrono::duration<double>(drainEnds - Clock::now()).count()));
  // The results of the drain wait on the loop: they come before the sound and "done".
  asio::post(services_.loop, [self = shared_from_this()] {
    if (self->keeper_ && self->keeper_->kept()) {
      self->services_.lines.writeStreamed("sound", "wav", [&self](const auto& piece) {
        self->keeper_->writeWavBase64(piece);
      });
    }
    self->finish(0);
  });
}

void DictateSession::cancel() {
  if (!beginEnding()) return;
  guardEnding(services_.timings.endingGrace);
  log("cancel");
  if (mic_) mic_->stop();
  finish(0);
}

void DictateSession::couldntHear() {
  if (!beginEnding()) return;
  log("no audio");
  services_.errorText("Couldn't hear the microphone.");
  finish(1);
}
