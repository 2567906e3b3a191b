vesk_backend(canberra PKG libcanberra)
