#include "listening/dictation/WaitingSound.h"

#include "listening/engine/LiveTranscriber.h"

void WaitingSound::take(const PcmBuffer& buffer) {
  if (buffer.frameLength() == 0) return;
  auto copied = buffer.copy();
  if (!copied) return;
  queue_.post([this, held = std::make_shared<PcmBuffer>(std::move(*copied))] {
    if (transcriber_) transcriber_->feed(*held);
  });
}

void WaitingSound::hand(std::shared_ptr<LiveTranscriber> transcriber) {
  if (queue_.running()) return;
  transcriber_ = std::move(transcriber);
  queue_.resume();
}

void WaitingSound::flush() {
  if (!queue_.running()) return;
  queue_.sync([] {});
}
