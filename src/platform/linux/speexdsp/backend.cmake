vesk_backend(speexdsp PKG speexdsp)
