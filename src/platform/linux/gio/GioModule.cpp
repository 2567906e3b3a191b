// The entry points of this backend module.
#include "platform/linux/gio/GioAccessibility.h"
#include "platform/linux/gio/GioAppBus.h"
#include "platform/linux/gio/GioAppCatalog.h"
#include "platform/linux/gio/GioDesktop.h"
#include "platform/linux/gio/GioSleepNotice.h"
#include "platform/linux/gio/KWinWindowList.h"
#include "platform/linux/gio/MprisMediaPlayers.h"
#include "platform/linux/ModuleEntry.h"

VESK_MODULE_ENTRY(Accessibility, GioAccessibility)
VESK_MODULE_ENTRY(Desktop, GioDesktop)
VESK_MODULE_ENTRY(AppCatalog, GioAppCatalog)
VESK_MODULE_ENTRY(AppBus, GioAppBus)
VESK_MODULE_ENTRY(MediaPlayers, MprisMediaPlayers)
VESK_MODULE_ENTRY(SleepNotice, GioSleepNotice)
VESK_NAMED_ENTRY(WindowList, KWinWindows, KWinWindowList)
