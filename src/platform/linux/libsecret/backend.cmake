vesk_backend(libsecret PKG libsecret-1)
