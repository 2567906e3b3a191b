vesk_backend(ecal GLIB PKG libecal-2.0 libedataserver-1.2)
