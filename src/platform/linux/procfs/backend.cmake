# /proc only: no library beyond the C library.
vesk_backend(procfs)
