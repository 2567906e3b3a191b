vesk_backend(pocketsphinx)
pkg_check_modules(POCKETSPHINX REQUIRED pocketsphinx)
# Debian's pocketsphinx.pc names /usr/include/sphinxbase, which the packages don't create;
# CMake refuses a missing include folder on an imported target, so only the real ones are used.
set(POCKETSPHINX_FOLDERS "")
foreach(folder ${POCKETSPHINX_INCLUDE_DIRS})
  if(EXISTS "${folder}")
    list(APPEND POCKETSPHINX_FOLDERS "${folder}")
  endif()
endforeach()
target_include_directories(vesk_pocketsphinx_libs SYSTEM INTERFACE ${POCKETSPHINX_FOLDERS})
target_compile_options(vesk_pocketsphinx_libs INTERFACE ${POCKETSPHINX_CFLAGS_OTHER})
target_link_libraries(vesk_pocketsphinx_libs INTERFACE ${POCKETSPHINX_LINK_LIBRARIES})
