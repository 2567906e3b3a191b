// The entry points of this backend module.
#include "platform/linux/systemd/SystemdMachineId.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(MachineId, SystemdMachineId)
