#!/bin/sh
# Runs a command inside a headless Wayland session, then ends the session:
#   tests/services/wayland-session.sh <sway|mutter> <command...>
# The compositors refuse to run as root, so as root this runs the session as the user
# vesk-wayland (made on first use) and lets that user reach the command's files.
# Services, all private to this run and needing no hardware:
#   - a session bus, on which the accessibility bus starts on demand;
#   - sway (wlroots) with a headless output and no X server; or mutter (GNOME) with a virtual
#     monitor and Xwayland, whose DISPLAY and XAUTHORITY are exported;
#   - GTK clients open on the compositor (GDK_BACKEND=wayland).
# Exports WAYLAND_DISPLAY, XDG_SESSION_TYPE=wayland, DBUS_SESSION_BUS_ADDRESS, VESK_WAYLAND_LANE
# (the compositor's name), VESK_SERVICES_DIR, and SWAYSOCK under sway. Exits with the command's
# status.
set -u
lane=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
user=vesk-wayland

if [ "$(id -u)" -eq 0 ]; then
  id "$user" >/dev/null 2>&1 || useradd --create-home --shell /bin/sh "$user" || exit 1
  # The user needs to walk to the command, this script and the files the tests load.
  for path in "$here" "$1"; do
    dir=$(dirname "$(readlink -f "$path")")
    while [ "$dir" != / ]; do
      runuser -u "$user" -- test -x "$dir" || setfacl -m "u:$user:x" "$dir" || exit 1
      dir=$(dirname "$dir")
    done
  done
  root=$(readlink -f "$here/../..")
  runuser -u "$user" -- test -r "$root/tests" || setfacl -R -m "u:$user:rX" "$root" || exit 1
  exec runuser -u "$user" -- env -u DISPLAY -u XDG_RUNTIME_DIR -u DBUS_SESSION_BUS_ADDRESS \
    "$here/wayland-session.sh" "$lane" "$@"
fi

W=$(mktemp -d /tmp/vesk-wayland-XXXXXX)
export VESK_WAYLAND_LANE="$lane"
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK
export XDG_SESSION_TYPE=wayland GDK_BACKEND=wayland NO_AT_BRIDGE=0
what_runs="wayland session"
. "$here/scratch-session.sh"
start_session_bus

case "$lane" in
  sway)
    printf 'output HEADLESS-1 resolution 1280x720\nxwayland disable\n' >"$W/sway.config"
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
      sway -c "$W/sway.config" >"$W/compositor.log" 2>&1 &
    started $!
    wait_for "sway" sh -c "ls '$XDG_RUNTIME_DIR'/sway-ipc.*.sock && ls '$XDG_RUNTIME_DIR'/wayland-?" || exit 1
    SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock | head -n 1)
    WAYLAND_DISPLAY=$(cd "$XDG_RUNTIME_DIR" && ls wayland-? | head -n 1)
    export SWAYSOCK WAYLAND_DISPLAY
    ;;
  mutter)
    # With Xwayland, as GNOME runs it: its CLIPBOARD is the clipboard mutter keeps in step.
    mutter --headless --wayland --wayland-display=wayland-mutter \
      --virtual-monitor 1280x720 >"$W/compositor.log" 2>&1 &
    started $!
    export WAYLAND_DISPLAY=wayland-mutter
    wait_for "mutter" sh -c "test -S '$XDG_RUNTIME_DIR/wayland-mutter' &&
      busctl --user status org.gnome.Mutter.RemoteDesktop &&
      grep -q 'Using public X11 display' '$W/compositor.log' &&
      ls '$XDG_RUNTIME_DIR'/.mutter-Xwaylandauth.*" || exit 1
    DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$W/compositor.log" | head -n 1)
    XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* | head -n 1)
    export DISPLAY XAUTHORITY
    ;;
  *)
    echo "wayland session: no lane $lane (sway or mutter)" >&2
    exit 64
    ;;
esac

"$@"
