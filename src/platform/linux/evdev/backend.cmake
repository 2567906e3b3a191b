vesk_backend(evdev PKG libevdev)
