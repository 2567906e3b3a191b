vesk_backend(soxr PKG soxr)
