// The entry points of this backend module.
#include "platform/linux/webrtc/WebRtcEchoCancellers.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(EchoCancellers, WebRtcEchoCancellers)
