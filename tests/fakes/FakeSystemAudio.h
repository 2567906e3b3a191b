#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>

#include "platform/SystemAudio.h"

// The computer's sound as the test plays it: deliver() plays a buffer into the running
// recording, end() ends it as a vanished output would. record() can fail, or wait until answer()
// as a slow server would.
class FakeSystemAudio final : public SystemAudio {
 public:
  struct Stream final : CaptureStream {
    FakeSystemAudio& owner;
    explicit Stream(FakeSystemAudio& audio) : owner(audio) {}
    ~Stream() override {
      std::lock_guard guard(owner.mutex_);
      owner.onBuffer_ = nullptr;
      owner.onEnd_ = nullptr;
      ++owner.closed;
    }
  };

  // Arranged by the test.
  std::string refusal;  // when set, record() throws SoundServerError with it (code 7)
  bool hang = false;    // while set, record() waits until answer()
  Sink sink{"speakers", "Speakers"};

  // Observed by the test.
  std::atomic<int> recording{0};  // record() calls entered
  std::atomic<int> opened{0};
  std::atomic<int> closed{0};

  Recording record(const PcmFormat&, std::uint32_t, BufferHandler onBuffer,
                   EndHandler onEnd) override {
    ++recording;
    {
      std::unique_lock held(hangMutex_);
      answered_.wait(held, [this] { return !hang; });
    }
    if (!refusal.empty()) throw SoundServerError(refusal, 7);
    std::lock_guard guard(mutex_);
    onBuffer_ = std::move(onBuffer);
    onEnd_ = std::move(onEnd);
    ++opened;
    return Recording{std::make_unique<Stream>(*this), sink};
  }

  void answer() {
    {
      std::lock_guard held(hangMutex_);
      hang = false;
    }
    answered_.notify_all();
  }
  bool deliver(const PcmBuffer& buffer) {
    std::lock_guard guard(mutex_);
    if (!onBuffer_) return false;
    onBuffer_(buffer);
    return true;
  }
  // Ends the running recording by itself, with the server's error.
  bool end(const std::string& text, int code) {
    std::lock_guard guard(mutex_);
    if (!onEnd_) return false;
    onEnd_(SoundServerError(text, code));
    return true;
  }
  bool streaming() {
    std::lock_guard guard(mutex_);
    return static_cast<bool>(onBuffer_);
  }

 private:
  std::mutex hangMutex_;  // guards hang
  std::condition_variable answered_;
  std::mutex mutex_;  // guards onBuffer_, onEnd_
  BufferHandler onBuffer_;
  EndHandler onEnd_;
};
