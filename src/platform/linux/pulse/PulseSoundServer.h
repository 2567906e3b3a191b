#pragma once

#include "platform/SoundServer.h"

// The sound server through libpulse. Each question opens its own short connection.
class PulseSoundServer final : public SoundServer {
 public:
  Access microphoneAccess() override;
  Access outputMonitorAccess() override;
  std::vector<RecordStream> recordStreams() override;
  std::optional<Output> defaultOutput() override;

  // Whether an output port of this type (a pa_device_port_type_t) and name is for headphones.
  static bool isHeadphonePort(int type, const char* name);
};
