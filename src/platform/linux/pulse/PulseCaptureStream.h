#pragma once

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/AudioInput.h"

class PulseMainLoop;

// One record stream of a source, in 32-bit float at the source's rate and channel count. The
// server hands over small fragments; they are gathered into buffers of framesPerBuffer frames
// before the handler sees them, each with the time its first frame was captured (from the
// server's latency). A stream that fails (its source went away) calls failed.
//
// Threads: built and destroyed on any thread but the loop's; the read and state callbacks run
// on the loop thread, which owns block_, filled_ and view_.
class PulseCaptureStream : public CaptureStream {
 public:
  // Throws std::runtime_error with the server's message when the stream doesn't start.
  PulseCaptureStream(PulseMainLoop& loop, const std::string& source, const PcmFormat& format,
                     bool voiceProcessing, std::uint32_t framesPerBuffer,
                     AudioInput::BufferHandler onBuffer, std::function<void()> failed);
  ~PulseCaptureStream() override;

 private:
  struct StreamFree {
    void operator()(pa_stream* stream) const;
  };

  void readable();
  // When the first frame not yet read was captured, on the steady clock; none before the
  // server's first timing.
  std::optional<double> readTime() const;
  void stateChanged();

  PulseMainLoop& loop_;
  const PcmFormat format_;
  const std::uint32_t framesPerBuffer_;
  const AudioInput::BufferHandler onBuffer_;
  const std::function<void()> failed_;
  std::vector<float> block_;
  std::uint32_t filled_ = 0;
  PcmBuffer view_;
  bool ready_ = false;
  std::unique_ptr<pa_stream, StreamFree> stream_;
};
