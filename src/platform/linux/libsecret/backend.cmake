pkg_check_modules(LIBSECRET REQUIRED IMPORTED_TARGET libsecret-1)
target_link_libraries(vesk_linux PUBLIC PkgConfig::LIBSECRET)
