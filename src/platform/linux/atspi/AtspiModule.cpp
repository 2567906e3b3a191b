// The entry points of this backend module.
#include "platform/linux/atspi/AtspiFocusReader.h"
#include "platform/linux/atspi/AtspiWindowList.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(FocusReader, AtspiFocusReader)
VESK_NAMED_ENTRY(WindowList, AccessibleWindows, AtspiWindowList)
