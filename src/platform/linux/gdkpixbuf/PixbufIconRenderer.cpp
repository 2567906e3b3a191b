#include "platform/linux/gdkpixbuf/PixbufIconRenderer.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>

#include "platform/linux/gdkpixbuf/IconTheme.h"

namespace {

struct ObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
using PixbufPtr = std::unique_ptr<GdkPixbuf, ObjectUnref>;
struct BytesFree {
  void operator()(gchar* bytes) const { g_free(bytes); }
};
using BytesPtr = std::unique_ptr<gchar, BytesFree>;

PixbufPtr loadScaled(const std::string& file, int size) {
  GError* error = nullptr;
  PixbufPtr image(gdk_pixbuf_new_from_file_at_scale(file.c_str(), size, size, TRUE, &error));
  if (error != nullptr) g_error_free(error);
  return image;
}

// The pixels as an RGBA image, scaled to fit the square.
PixbufPtr fromPixels(const PixelIcon& icon, int size) {
  auto pixels = static_cast<std::size_t>(icon.width) * static_cast<std::size_t>(icon.height);
  if (icon.empty() || icon.argb.size() < pixels) return {};
  PixbufPtr image(gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, icon.width, icon.height));
  if (!image) return image;
  guchar* rows = gdk_pixbuf_get_pixels(image.get());
  int stride = gdk_pixbuf_get_rowstride(image.get());
  for (int y = 0; y < icon.height; ++y) {
    guchar* pixel = rows + static_cast<std::ptrdiff_t>(y) * stride;
    for (int x = 0; x < icon.width; ++x, pixel += 4) {
      std::uint32_t argb = icon.argb[static_cast<std::size_t>(y) * icon.width + x];
      pixel[0] = static_cast<guchar>(argb >> 16);
      pixel[1] = static_cast<guchar>(argb >> 8);
      pixel[2] = static_cast<guchar>(argb);
      pixel[3] = static_cast<guchar>(argb >> 24);
    }
  }
  double scale = static_cast<double>(size) / std::max(icon.width, icon.height);
  int width = std::max(1, static_cast<int>(icon.width * scale + 0.5));
  int height = std::max(1, static_cast<int>(icon.height * scale + 0.5));
  return PixbufPtr(gdk_pixbuf_scale_simple(image.get(), width, height, GDK_INTERP_BILINEAR));
}

// The image centred on a transparent size × size RGBA square.
PixbufPtr square(GdkPixbuf* image, int size) {
  PixbufPtr canvas(gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, size, size));
  if (!canvas) return canvas;
  gdk_pixbuf_fill(canvas.get(), 0);
  int width = std::min(gdk_pixbuf_get_width(image), size);
  int height = std::min(gdk_pixbuf_get_height(image), size);
  int x = (size - width) / 2;
  int y = (size - height) / 2;
  gdk_pixbuf_composite(image, canvas.get(), x, y, width, height, x, y, 1.0, 1.0,
                       GDK_INTERP_BILINEAR, 255);
  return canvas;
}

std::string encodePng(GdkPixbuf* image) {
  gchar* raw = nullptr;
  gsize length = 0;
  GError* error = nullptr;
  bool saved = gdk_pixbuf_save_to_buffer(image, &raw, &length, "png", &error, nullptr);
  BytesPtr bytes(raw);
  if (error != nullptr) g_error_free(error);
  if (!saved || !bytes) return "";
  return std::string(bytes.get(), length);
}

}  // namespace

PixbufIconRenderer::PixbufIconRenderer() = default;
PixbufIconRenderer::~PixbufIconRenderer() = default;

std::string PixbufIconRenderer::png(const PixelIcon& icon, int size) {
  if (size <= 0) return "";
  auto image = fromPixels(icon, size);
  if (!image) return "";
  auto canvas = square(image.get(), size);
  return canvas ? encodePng(canvas.get()) : "";
}

std::string PixbufIconRenderer::png(const IconRef& icon, int size) {
  if (size <= 0) return "";
  std::string file = icon.file;
  if (file.empty() && !icon.names.empty()) {
    if (!theme_) theme_ = std::make_unique<IconTheme>();
    if (auto found = theme_->find(icon.names, size)) file = found->string();
  }
  if (file.empty()) return "";
  auto image = loadScaled(file, size);
  if (!image) return "";
  auto canvas = square(image.get(), size);
  if (!canvas) return "";
  return encodePng(canvas.get());
}
