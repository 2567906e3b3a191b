vesk_backend(libsecret GLIB PKG libsecret-1)
