#pragma once

#include "platform/SystemAudio.h"

// The default output's monitor through libpulse, on the process's one connection
// (PulseMainLoop::shared()), whose loop thread is every recording's capture thread; the output
// is looked up when the recording starts and the stream never moves, so it ends when that
// output goes away.
//
// Threads: record() from any thread but a recording's loop thread; no state of its own.
class PulseSystemAudio : public SystemAudio {
 public:
  Recording record(const PcmFormat& format, std::uint32_t framesPerBuffer, BufferHandler onBuffer,
                   EndHandler onEnd) override;
};
