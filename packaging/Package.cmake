# The Debian package: `make deb` (cpack -G DEB in a build folder configured with the prefix /usr).
# CPack packages exactly what the install rules install, so the package and `make install` never
# disagree; dpkg-shlibdeps works out the libraries the binary and each module need.

# The manual page and the package's changelog, compressed as Debian wants them.

set(packaging ${CMAKE_BINARY_DIR}/packaging)
foreach(page vesk-native.1 changelog)
  file(READ ${PROJECT_SOURCE_DIR}/packaging/${page} text)
  string(REPLACE "@VERSION@" "${PROJECT_VERSION}" text "${text}")
  string(REPLACE "@MODULE_DIR@" "${VESK_MODULE_DIR}" text "${text}")
  file(WRITE ${packaging}/${page} "${text}")
  add_custom_command(OUTPUT ${packaging}/${page}.gz
    COMMAND gzip -9n -c ${packaging}/${page} > ${packaging}/${page}.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/${page})
endforeach()
add_custom_target(vesk_pages ALL DEPENDS ${packaging}/vesk-native.1.gz ${packaging}/changelog.gz)
install(FILES ${packaging}/vesk-native.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${packaging}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vesk-native)
set(CPACK_PACKAGE_VENDOR Quorvel)
set(CPACK_PACKAGE_CONTACT "Quorvel <vesk-native@quorvel.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion process of the Vesk desktop app")
# The synopsis comes first; CPack indents these lines below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The Vesk app starts one vesk-native process per operation. It reads and
writes calendars and the app's reminders, transcribes meetings and
dictation on the device, lands dictated text into the application in
front, and answers questions about the desktop: keyring secrets, apps,
browsers, the audio route, media players, sounds and machine facts.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The services it talks to, and wl-copy, which keeps the clipboard on Wayland after the bridge
# ends: without one, only what needs it fails.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "evolution-data-server, gnome-keyring, pocketsphinx-en-us, sound-theme-freedesktop, wl-clipboard")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
