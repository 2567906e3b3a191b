vesk_backend(pulse PKG libpulse)
