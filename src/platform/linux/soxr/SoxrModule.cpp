// The entry points of this backend module.
#include "platform/linux/soxr/SoxrConverters.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(AudioConverters, SoxrConverters)
