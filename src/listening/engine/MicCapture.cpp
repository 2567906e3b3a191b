#include "listening/engine/MicCapture.h"

#include <exception>
#include <future>

#include "base/LineWriter.h"
#include "listening/engine/ListenFailure.h"

std::shared_ptr<MicCapture> MicCapture::make(AudioInput& input, LineWriter& lines,
                                             bool voiceProcessing, bool preferBuiltIn,
                                             double sampleRate) {
  std::shared_ptr<MicCapture> capture(
      new MicCapture(input, lines, voiceProcessing, preferBuiltIn, sampleRate));
  std::weak_ptr<MicCapture> weak = capture;
  capture->watchToken_ = input.watch([weak] {
    if (auto self = weak.lock()) {
      self->queue_.post([weak] {
        if (auto again = weak.lock()) again->restartAfterChange();
      });
    }
  });
  return capture;
}

MicCapture::MicCapture(AudioInput& input, LineWriter& lines, bool voiceProcessing,
                       bool preferBuiltIn, double sampleRate)
    : input_(input),
      lines_(lines),
      voiceProcessing_(voiceProcessing),
      preferBuiltIn_(preferBuiltIn),
      sampleRate_(sampleRate),
      queue_("vesk.mic") {}

MicCapture::~MicCapture() {
  input_.unwatch(watchToken_);
  // The owner stops the capture first; a stream left here closes with the queue's work done.
  queue_.sync([this] { stream_.reset(); });
}

void MicCapture::start(BufferHandler onBuffer) {
  queue_.sync([&] {
    {
      std::lock_guard guard(mutex_);
      if (stopped_ || running_) return;
      onBuffer_ = onBuffer;
    }
    installTapAndStart(onBuffer);
    std::lock_guard guard(mutex_);
    running_ = !stopped_;  // a stop during the start closes the stream right after it
  });
}

void MicCapture::stop() {
  {
    std::lock_guard guard(mutex_);
    stopped_ = true;
    running_ = false;
  }
  delivering_->store(false);
  // The queue may be busy with a start that waits for the sound server: the stream closes
  // behind it, and the caller waits only a moment.
  auto closed = std::make_shared<std::promise<void>>();
  auto done = closed->get_future();
  queue_.post([weak = weak_from_this(), closed] {
    if (auto self = weak.lock()) self->stream_.reset();
    closed->set_value();
  });
  if (!queue_.onQueue()) done.wait_for(STOP_WAIT);
}

void MicCapture::startAgain() {
  queue_.sync([this] {
    BufferHandler onBuffer;
    {
      std::lock_guard guard(mutex_);
      if (!running_ || stopped_) return;
      onBuffer = onBuffer_;
    }
    stream_.reset();
    installTapAndStart(onBuffer);
  });
}

void MicCapture::restartAfterChange() {
  BufferHandler onBuffer;
  {
    std::lock_guard guard(mutex_);
    if (!running_ || stopped_) return;
    onBuffer = onBuffer_;
  }
  try {
    stream_.reset();
    installTapAndStart(onBuffer);
  } catch (const std::exception& error) {
    lines_.write("error", {{"message",
                            std::string("The microphone stopped when the audio device changed and "
                                        "couldn\u2019t be started again: ") +
                                error.what()}});
  }
}

void MicCapture::installTapAndStart(const BufferHandler& onBuffer) {
  if (!onBuffer) return;
  // Input choice: off a Bluetooth default onto the built-in microphone when asked and present.
  std::string source;
  bool headset = false;
  if (preferBuiltIn_) {
    auto fallback = input_.defaultSource();
    if (fallback && fallback->bluetooth) {
      headset = true;
      try {
        for (const auto& candidate : input_.sources()) {
          if (candidate.builtIn && !candidate.bluetooth) {
            source = candidate.name;
            headset = false;
            break;
          }
        }
      } catch (const std::exception&) {
        // The list can't be read: the headset stays in use.
      }
    }
  }
  {
    std::lock_guard guard(mutex_);
    usingHeadset_ = headset;
  }
  PcmFormat format = input_.format(source);
  if (!(format.sampleRate > 0) || format.channels == 0) {
    throw ListenFailure("No microphone: the input device has no audio format");
  }
  if (sampleRate_ > 0) format = PcmFormat{sampleRate_, 1, SampleFormat::Float32, true};
  {
    std::lock_guard guard(mutex_);
    formatText_ = format.describe();
  }
  // The handler captures the meter and the consumer as they are now.
  const auto frames = static_cast<std::uint32_t>(format.sampleRate * BUFFER_SECONDS);
  stream_ = input_.record(source, format, voiceProcessing_, frames,
                          [meter = &meter_, delivering = delivering_, onBuffer](const PcmBuffer& buffer) {
                            if (!delivering->load(std::memory_order_relaxed)) return;
                            meter->saw(buffer);
                            onBuffer(buffer);
                          });
}

std::string MicCapture::format() {
  {
    std::lock_guard guard(mutex_);
    if (!formatText_.empty()) return formatText_;
  }
  return input_.format("").describe();
}

bool MicCapture::onHeadset() {
  std::lock_guard guard(mutex_);
  return usingHeadset_;
}
