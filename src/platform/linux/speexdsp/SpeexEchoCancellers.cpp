#include "platform/linux/speexdsp/SpeexEchoCancellers.h"

#include "platform/linux/speexdsp/SpeexEchoCanceller.h"

std::unique_ptr<EchoCanceller> SpeexEchoCancellers::make() {
  return std::make_unique<SpeexEchoCanceller>();
}
