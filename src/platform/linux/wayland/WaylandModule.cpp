// The entry points of this backend module.
#include "platform/linux/ModuleEntry.h"
#include "platform/linux/wayland/RemoteDesktopInput.h"

VESK_NAMED_ENTRY(SyntheticInput, RemoteDesktop, RemoteDesktopInput)
