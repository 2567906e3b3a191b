#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/AudioInput.h"

// A sound server whose sources and streams the test arranges; the test plays buffers into the
// running stream with deliver() and announces device changes with change().
class FakeAudioInput final : public AudioInput {
 public:
  struct Stream final : CaptureStream {
    FakeAudioInput& owner;
    explicit Stream(FakeAudioInput& input) : owner(input) {}
    ~Stream() override {
      std::lock_guard guard(owner.mutex_);
      owner.handler_ = nullptr;
      ++owner.closed;
    }
  };

  // Arranged by the test.
  std::optional<Source> defaultSourceValue = Source{"virtmic", false, false};
  std::vector<Source> sourceList{{"virtmic", false, false}};
  bool listFails = false;
  PcmFormat sourceFormat{48000, 2, SampleFormat::Float32, true};
  std::string refusal;  // when set, record() throws it
  // While set, record() waits as for a sound server that doesn't answer, until answer().
  bool hang = false;

  // Observed by the test.
  std::atomic<int> recording{0};  // record() calls entered
  std::atomic<int> opened{0};
  std::atomic<int> closed{0};
  std::string lastSource = "-";
  bool lastVoiceProcessing = false;
  PcmFormat lastFormat;
  std::uint32_t lastFrames = 0;

  std::optional<Source> defaultSource() override { return defaultSourceValue; }
  std::vector<Source> sources() override {
    if (listFails) throw std::runtime_error("no list");
    return sourceList;
  }
  PcmFormat format(const std::string&) override { return sourceFormat; }
  std::unique_ptr<CaptureStream> record(const std::string& source, const PcmFormat& format,
                                        bool voiceProcessing, std::uint32_t frames,
                                        BufferHandler onBuffer) override {
    ++recording;
    {
      std::unique_lock held(hangMutex_);
      answered_.wait(held, [this] { return !hang; });
    }
    if (!refusal.empty()) throw std::runtime_error(refusal);
    std::lock_guard guard(mutex_);
    handler_ = std::move(onBuffer);
    lastSource = source;
    lastVoiceProcessing = voiceProcessing;
    lastFormat = format;
    lastFrames = frames;
    ++opened;
    return std::make_unique<Stream>(*this);
  }
  int watch(std::function<void()> changed) override {
    std::lock_guard guard(mutex_);
    watchers_[++token_] = std::move(changed);
    return token_;
  }
  void unwatch(int token) override {
    std::lock_guard guard(mutex_);
    watchers_.erase(token);
  }

  void answer() {
    {
      std::lock_guard held(hangMutex_);
      hang = false;
    }
    answered_.notify_all();
  }

  // Plays one buffer into the running stream, as the capture thread would; false when none runs.
  bool deliver(const PcmBuffer& buffer) {
    std::lock_guard guard(mutex_);
    if (!handler_) return false;
    handler_(buffer);
    return true;
  }
  bool streaming() {
    std::lock_guard guard(mutex_);
    return static_cast<bool>(handler_);
  }
  void change() {
    std::vector<std::function<void()>> watchers;
    {
      std::lock_guard guard(mutex_);
      for (auto& [token, changed] : watchers_) watchers.push_back(changed);
    }
    for (auto& changed : watchers) changed();
  }

 private:
  std::mutex hangMutex_;  // guards hang
  std::condition_variable answered_;
  std::mutex mutex_;
  BufferHandler handler_;
  std::map<int, std::function<void()>> watchers_;
  int token_ = 0;
};
