#pragma once

#include <glib-object.h>

#include <memory>

// Owning handles for the GLib values the calendar backend receives.
struct GObjectUnref {
  void operator()(gpointer object) const {
    if (object) g_object_unref(object);
  }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GErrorFree {
  void operator()(GError* error) const {
    if (error) g_error_free(error);
  }
};
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;

struct GCharFree {
  void operator()(gchar* text) const { g_free(text); }
};
using GCharPtr = std::unique_ptr<gchar, GCharFree>;

struct GObjectListFree {
  void operator()(GList* list) const { g_list_free_full(list, g_object_unref); }
};
using GObjectList = std::unique_ptr<GList, GObjectListFree>;

struct GObjectSListFree {
  void operator()(GSList* list) const { g_slist_free_full(list, g_object_unref); }
};
using GObjectSList = std::unique_ptr<GSList, GObjectSListFree>;
