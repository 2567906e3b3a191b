#pragma once

#include <glib-object.h>

#include <memory>

#include "platform/linux/gio/GioHandles.h"

// Owning handles for the GLib values the calendar backend receives, beyond the common ones.
struct GCharFree {
  void operator()(gchar* text) const { g_free(text); }
};
using GCharPtr = std::unique_ptr<gchar, GCharFree>;

struct GObjectSListFree {
  void operator()(GSList* list) const { g_slist_free_full(list, g_object_unref); }
};
using GObjectSList = std::unique_ptr<GSList, GObjectSListFree>;
