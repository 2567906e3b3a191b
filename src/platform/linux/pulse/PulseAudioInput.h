#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/AudioInput.h"

class PulseMainLoop;

// The sound server's capture side through libpulse: the process's one connection on a threaded
// main loop (PulseMainLoop::shared()), that answers source questions, runs record streams and watches
// the server for a new default source.
//
// Threads: any thread may call the public functions except the loop thread itself. loop_ and
// problem_ are set once under connectOnce_; mutex_ guards watchers_ and nextToken_;
// defaultSource_ belongs to the loop thread.
class PulseAudioInput : public AudioInput {
 public:
  PulseAudioInput();
  ~PulseAudioInput() override;

  std::optional<Source> defaultSource() override;
  std::vector<Source> sources() override;
  PcmFormat format(const std::string& source) override;
  std::unique_ptr<CaptureStream> record(const std::string& source, const PcmFormat& format,
                                        bool voiceProcessing, std::uint32_t framesPerBuffer,
                                        BufferHandler onBuffer) override;
  int watch(std::function<void()> changed) override;
  void unwatch(int token) override;

 private:
  // The connected loop, or null with the reason.
  PulseMainLoop* connected(std::string& problem);
  void subscribe(PulseMainLoop& loop);
  void serverChanged();
  void notify();

  std::once_flag connectOnce_;
  PulseMainLoop* loop_ = nullptr;  // the process's one connection
  std::mutex mutex_;
  std::string problem_;
  std::map<int, std::function<void()>> watchers_;
  int nextToken_ = 1;
  std::string defaultSource_;
};
