// The entry points of this backend module.
#include "platform/linux/speexdsp/SpeexEchoCancellers.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(EchoCancellers, SpeexEchoCancellers)
