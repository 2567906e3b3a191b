vesk_backend(x11 PKG x11 xtst xi xfixes)
