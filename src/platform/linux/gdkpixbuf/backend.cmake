pkg_check_modules(GDKPIXBUF REQUIRED IMPORTED_TARGET gdk-pixbuf-2.0)
target_link_libraries(vesk_linux PUBLIC PkgConfig::GDKPIXBUF)
