#pragma once

// The sound server as the permission checks see it: whether it lets this process record.
// Exists so tests can replace it; the real one talks to the server through libpulse and never
// starts a server that is not running.
class SoundServer {
 public:
  // What the server answered when asked whether this process may record a source.
  enum class Access {
    Allowed,  // connected, and the source is there to record
    Refused,  // the server turned this process away (not authorised)
    Absent,   // no server, or no such source
  };

  virtual ~SoundServer() = default;

  // A capture source that is not the monitor of an output: a microphone.
  virtual Access microphoneAccess() = 0;
  // The monitor of the default output, the computer's own sound.
  virtual Access outputMonitorAccess() = 0;
};
