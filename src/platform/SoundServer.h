#pragma once

#include <optional>
#include <string>
#include <vector>

// The sound server: whether it lets this process record, who records, where sound goes.
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

  // One stream recording from a source of the server.
  struct RecordStream {
    std::string applicationId;  // the client's "application.id", "" when it gave none
    int processId = 0;          // the client's process, 0 when unknown
    bool corked = false;        // paused by its client
    bool fromMonitor = false;   // records the monitor of an output rather than a microphone
    bool fromClient = true;     // false for the server's own streams (those of its modules)
  };

  // The output sound goes to by default.
  struct Output {
    std::string bus;            // "device.bus": "bluetooth", "usb", "pci", ... or ""
    bool headphonePort = false;  // its active port is a headphone port
  };

  virtual ~SoundServer() = default;

  // A capture source that is not the monitor of an output: a microphone.
  virtual Access microphoneAccess() = 0;
  // The monitor of the default output, the computer's own sound.
  virtual Access outputMonitorAccess() = 0;

  // Every record stream, in the server's order; none without a server.
  virtual std::vector<RecordStream> recordStreams() = 0;
  // The default output; nothing without a server or without outputs.
  virtual std::optional<Output> defaultOutput() = 0;
};
