// The entry points of this backend module.
#include "platform/linux/gdkpixbuf/PixbufIconRenderer.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(IconRenderer, PixbufIconRenderer)
