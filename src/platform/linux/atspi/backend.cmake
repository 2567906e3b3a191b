vesk_backend(atspi PKG atspi-2 gobject-2.0)
