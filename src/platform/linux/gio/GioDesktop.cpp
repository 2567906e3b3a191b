#include "platform/linux/gio/GioDesktop.h"

#include "platform/linux/gio/GioHandles.h"

bool GioDesktop::isUrl(const std::string& text) {
  return g_uri_is_valid(text.c_str(), G_URI_FLAGS_NONE, nullptr);
}
