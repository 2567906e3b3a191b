// The entry points of this backend module.
#include "platform/linux/libsecret/LibsecretStore.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(SecretStore, LibsecretStore)
