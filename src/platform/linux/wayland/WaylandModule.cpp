// The entry points of this backend module.
#include "platform/linux/ModuleEntry.h"
