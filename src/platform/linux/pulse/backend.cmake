pkg_check_modules(LIBPULSE REQUIRED IMPORTED_TARGET libpulse)
target_link_libraries(vesk_linux PUBLIC PkgConfig::LIBPULSE)
