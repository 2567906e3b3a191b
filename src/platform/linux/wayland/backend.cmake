vesk_backend(wayland PKG wayland-client xkbcommon gio-2.0 gio-unix-2.0)

# The compositor protocols beside the core ones, generated from the XML in protocols/.
pkg_get_variable(WAYLAND_SCANNER wayland-scanner wayland_scanner)
file(GLOB protocols CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/protocols/*.xml)
set(generated ${CMAKE_BINARY_DIR}/wayland-protocols)
foreach(xml ${protocols})
  get_filename_component(protocol ${xml} NAME_WE)
  add_custom_command(
    OUTPUT ${generated}/${protocol}-client.h ${generated}/${protocol}.c
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${generated}/${protocol}-client.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${generated}/${protocol}.c
    DEPENDS ${xml})
  target_sources(vesk_wayland_objects PRIVATE ${generated}/${protocol}.c ${generated}/${protocol}-client.h)
endforeach()
target_include_directories(vesk_wayland_objects PUBLIC ${generated})
