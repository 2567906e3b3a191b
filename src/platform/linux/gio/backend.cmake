pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0 gio-unix-2.0)
target_link_libraries(vesk_linux PUBLIC PkgConfig::GIO)
