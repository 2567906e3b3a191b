// The entry points of this backend module.
#include "platform/linux/wayland/DataControlClipboard.h"
#include "platform/linux/wayland/RemoteDesktopInput.h"
#include "platform/linux/wayland/VirtualKeyboardInput.h"
#include "platform/linux/ModuleEntry.h"

VESK_NAMED_ENTRY(SyntheticInput, VirtualKeyboard, VirtualKeyboardInput)
VESK_NAMED_ENTRY(Clipboard, DataControl, DataControlClipboard)
VESK_NAMED_ENTRY(SyntheticInput, RemoteDesktop, RemoteDesktopInput)
