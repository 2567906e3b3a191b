vesk_backend(gio GLIB PKG gio-2.0 gio-unix-2.0)
