#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/CaptureStream.h"
#include "platform/PcmBuffer.h"

// The sound server's capture side: its sources, record streams of them, and word of
// configuration changes. Exists so tests can replace it; the real one uses libpulse's threaded
// main loop, whose thread is the capture thread.
class AudioInput {
 public:
  // A capture source that is not the monitor of an output.
  struct Source {
    std::string name;
    bool bluetooth = false;  // on a Bluetooth bus (a headset)
    bool builtIn = false;    // the machine's own microphone (internal, or on the PCI bus)
  };
  using BufferHandler = std::function<void(const PcmBuffer&)>;

  virtual ~AudioInput() = default;

  // The default source, or none when there is no server or no default source.
  virtual std::optional<Source> defaultSource() = 0;
  // Every source that is not a monitor, in the server's order. Throws when the list can't be read.
  virtual std::vector<Source> sources() = 0;
  // The format a stream of the source delivers: the source's own rate and channel count, with
  // 32-bit float samples, interleaved. A sample rate of 0 when the source has no format or is
  // not there.
  virtual PcmFormat format(const std::string& source) = 0;
  // Starts recording the source in that format. The handler is called on the capture thread for
  // each buffer of about framesPerBuffer frames; the buffer is valid during the call only.
  // Voice processing asks the server to run the stream through its echo canceller.
  // Throws std::runtime_error with the server's message when the stream can't start.
  virtual std::unique_ptr<CaptureStream> record(const std::string& source, const PcmFormat& format,
                                                bool voiceProcessing,
                                                std::uint32_t framesPerBuffer,
                                                BufferHandler onBuffer) = 0;
  // Calls changed (on a thread of the server's) when the default source changes or the source
  // of a running stream goes away. Returns a token for unwatch().
  virtual int watch(std::function<void()> changed) = 0;
  virtual void unwatch(int token) = 0;
};
