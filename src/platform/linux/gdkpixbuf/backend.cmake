vesk_backend(gdkpixbuf PKG gdk-pixbuf-2.0)
