#include "platform/linux/webrtc/WebRtcEchoCancellers.h"

#include "platform/linux/webrtc/WebRtcEchoCanceller.h"

std::unique_ptr<EchoCanceller> WebRtcEchoCancellers::make() {
  return std::make_unique<WebRtcEchoCanceller>();
}
