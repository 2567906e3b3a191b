#pragma once

#include "platform/EchoCancellers.h"

// Echo cancellers on libspeexdsp.
class SpeexEchoCancellers : public EchoCancellers {
 public:
  std::unique_ptr<EchoCanceller> make() override;
};
