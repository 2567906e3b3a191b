vesk_backend(libsecret GLIB PKG libsecret-1)
# The item-path calls (a search that answers paths, a secret read by path) are the part of
# libsecret it calls unstable, unchanged since 2012: a read uses them to search while the
# session opens.
target_compile_definitions(vesk_libsecret_objects PRIVATE SECRET_API_SUBJECT_TO_CHANGE)
