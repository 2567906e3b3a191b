# Extended attributes through the C library.
vesk_backend(xattr)
