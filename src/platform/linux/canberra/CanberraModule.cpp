// The entry points of this backend module.
#include "platform/linux/canberra/SoundThemeSounds.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(SystemSounds, SoundThemeSounds)
