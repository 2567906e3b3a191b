#pragma once

#include "platform/SoundServer.h"

// The sound server through libpulse. Each question opens its own short connection.
class PulseSoundServer final : public SoundServer {
 public:
  Access microphoneAccess() override;
  Access outputMonitorAccess() override;
  std::vector<RecordStream> recordStreams() override;
  std::optional<Output> defaultOutput() override;
};
