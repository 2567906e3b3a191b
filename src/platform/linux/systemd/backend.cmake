vesk_backend(systemd PKG libsystemd)
