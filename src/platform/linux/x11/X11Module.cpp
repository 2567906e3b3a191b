// The entry points of this backend module.
#include "platform/linux/x11/X11Clipboard.h"
#include "platform/linux/x11/X11InputMonitor.h"
#include "platform/linux/x11/X11SyntheticInput.h"
#include "platform/linux/x11/X11WindowList.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(SyntheticInput, X11SyntheticInput)
VESK_MODULE_ENTRY(WindowList, X11WindowList)
VESK_MODULE_ENTRY(InputMonitor, X11InputMonitor)
VESK_MODULE_ENTRY(Clipboard, X11Clipboard)
