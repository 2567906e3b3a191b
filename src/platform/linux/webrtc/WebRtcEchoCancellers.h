#pragma once

#include "platform/EchoCancellers.h"

// Echo cancellers on libwebrtc-audio-processing.
class WebRtcEchoCancellers : public EchoCancellers {
 public:
  std::unique_ptr<EchoCanceller> make() override;
};
