#pragma once

#include <gio/gio.h>

#include <memory>

// Owning handles for GLib objects, errors, variants, string arrays and lists of objects.
struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
struct GErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
struct GVariantUnref {
  void operator()(GVariant* variant) const { g_variant_unref(variant); }
};
struct GFree {
  void operator()(gpointer memory) const { g_free(memory); }
};
struct GStrvFree {
  void operator()(gchar** strings) const { g_strfreev(strings); }
};
struct GObjectListFree {
  void operator()(GList* objects) const { g_list_free_full(objects, g_object_unref); }
};

template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;
using GVariantPtr = std::unique_ptr<GVariant, GVariantUnref>;
template <class T>
using GMemoryPtr = std::unique_ptr<T, GFree>;
using GStrvPtr = std::unique_ptr<gchar*, GStrvFree>;
using GObjectList = std::unique_ptr<GList, GObjectListFree>;

// The session bus, or none when there is no session bus to reach.
GObjectPtr<GDBusConnection> sessionBus();
