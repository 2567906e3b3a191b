#include "listening/engine/OtherSide.h"

#include "listening/engine/SystemAudioStream.h"
#include "platform/Platform.h"

std::shared_ptr<OtherSide> OtherSide::make(Platform& platform, LineWriter& lines, EndHandler onEnd,
                                           double drainSeconds) {
  return std::shared_ptr<OtherSide>(
      new OtherSide(platform, lines, std::move(onEnd), drainSeconds));
}

OtherSide::OtherSide(Platform& platform, LineWriter& lines, EndHandler onEnd, double drainSeconds)
    : platform_(platform), lines_(lines), onEnd_(std::move(onEnd)), drainSeconds_(drainSeconds) {}

std::optional<nlohmann::json> OtherSide::start(LiveTranscriber::ResultHandler onResult,
                                               LiveTranscriber::Stage stage) {
  auto transcriber = LiveTranscriber::make(*platform_.speechEngine, *platform_.audioConverters,
                                           lines_, speechLocaleIdentifier());
  if (stage) transcriber->setStage(std::move(stage));
  transcriber->start(std::move(onResult), "vesk.them");
  std::weak_ptr<OtherSide> weak = weak_from_this();
  auto stream = SystemAudioStream::make(
      platform_, [transcriber](const PcmBuffer& buffer) { transcriber->feed(buffer); },
      [weak](std::exception_ptr error) {
        if (auto self = weak.lock()) self->onEnd_(self, error);
      });
  {
    std::unique_lock guard(mutex_);
    if (ending_.valid()) {
      guard.unlock();
      transcriber->finish(drainSeconds_);
      return std::nullopt;
    }
    transcriber_ = transcriber;
    stream_ = stream;
  }
  return stream->start();
}

std::shared_future<void> OtherSide::beginStop() {
  std::lock_guard guard(mutex_);
  if (!ending_.valid()) {
    ending_ = std::async(std::launch::async, [stream = stream_, transcriber = transcriber_,
                                              drain = drainSeconds_] {
                auto streamStopped = std::async(std::launch::async, [stream] {
                  if (stream) stream->stop();
                });
                if (transcriber) transcriber->finish(drain);
                streamStopped.wait();
              }).share();
  }
  return ending_;
}

float OtherSide::level() {
  std::shared_ptr<SystemAudioStream> stream;
  {
    std::lock_guard guard(mutex_);
    stream = stream_;
  }
  return stream ? stream->level() : 0.0f;
}

std::optional<nlohmann::json> OtherSide::report() {
  std::shared_ptr<SystemAudioStream> stream;
  {
    std::lock_guard guard(mutex_);
    stream = stream_;
  }
  if (!stream) return std::nullopt;
  return stream->report();
}
