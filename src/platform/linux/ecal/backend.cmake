vesk_backend(ecal PKG libecal-2.0 libedataserver-1.2)
