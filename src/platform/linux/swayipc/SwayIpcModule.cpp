// The entry points of this backend module.
#include "platform/linux/ModuleEntry.h"
#include "platform/linux/swayipc/SwayWindowList.h"

VESK_MODULE_ENTRY(WindowList, SwayWindowList)
