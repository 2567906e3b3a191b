#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/CaptureStream.h"
#include "platform/PcmBuffer.h"
#include "platform/SoundServerError.h"

// The computer's own sound: the monitor of the sound server's default output, which carries
// everything the computer plays (the other side of a call included). Exists so tests can replace
// it; the real one records through libpulse on a connection and thread of its own.
class SystemAudio {
 public:
  // The output whose monitor is recorded.
  struct Sink {
    std::string name;
    std::string description;
  };
  struct Recording {
    std::unique_ptr<CaptureStream> stream;
    Sink sink;
  };
  using BufferHandler = std::function<void(const PcmBuffer&)>;
  // Told at most once, when a running recording ends without being asked (its output went away,
  // or the server failed).
  using EndHandler = std::function<void(const SoundServerError&)>;

  virtual ~SystemAudio() = default;

  // Starts recording the default output's monitor in the format. onBuffer is called on the
  // recording's own thread for each buffer of about framesPerBuffer frames, valid during the
  // call only. Throws SoundServerError when the server refuses or fails the stream, and
  // std::runtime_error when there is no server or no default output.
  virtual Recording record(const PcmFormat& format, std::uint32_t framesPerBuffer,
                           BufferHandler onBuffer, EndHandler onEnd) = 0;
};
