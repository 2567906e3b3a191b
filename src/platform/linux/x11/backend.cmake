pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11 xtst)
target_link_libraries(vesk_linux PUBLIC PkgConfig::X11)
