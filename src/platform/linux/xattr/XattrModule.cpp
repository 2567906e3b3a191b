// The entry points of this backend module.
#include "platform/linux/xattr/XattrBackupExclusion.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(BackupExclusion, XattrBackupExclusion)
