vesk_backend(gio PKG gio-2.0 gio-unix-2.0)
