// The entry points of this backend module.
#include "platform/linux/ModuleEntry.h"
#include "platform/linux/evdev/EvdevInputMonitor.h"

VESK_MODULE_ENTRY(InputMonitor, EvdevInputMonitor)
