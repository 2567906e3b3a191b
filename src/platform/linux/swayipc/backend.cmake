# The sway window manager's IPC socket: POSIX sockets and JSON, no library of its own.
vesk_backend(swayipc)
