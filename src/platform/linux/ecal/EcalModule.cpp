// The entry points of this backend module.
#include "platform/linux/ecal/EdsEventStore.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(EventStore, EdsEventStore)
