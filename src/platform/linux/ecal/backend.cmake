pkg_check_modules(LIBECAL REQUIRED IMPORTED_TARGET libecal-2.0 libedataserver-1.2)
target_link_libraries(vesk_linux PUBLIC PkgConfig::LIBECAL)
