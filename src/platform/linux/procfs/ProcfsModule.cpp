// The entry points of this backend module.
#include "platform/linux/procfs/ProcfsProcesses.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(Processes, ProcfsProcesses)
