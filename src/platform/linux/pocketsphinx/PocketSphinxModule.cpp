// The entry points of this backend module.
#include "platform/linux/pocketsphinx/PocketSphinxEngine.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(SpeechEngine, PocketSphinxEngine)
