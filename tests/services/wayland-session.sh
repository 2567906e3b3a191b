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
export VESK_SERVICES_DIR="$W" VESK_WAYLAND_LANE="$lane"
export HOME="$W/home" XDG_RUNTIME_DIR="$W/run" XDG_CONFIG_HOME="$W/home/.config" \
  XDG_DATA_HOME="$W/home/.local/share" XDG_CACHE_HOME="$W/home/.cache"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY SWAYSOCK
export XDG_SESSION_TYPE=wayland GDK_BACKEND=wayland NO_AT_BRIDGE=0

pids=""
started() { pids="$1 $pids"; }
cleanup() {
  for p in $pids; do kill "$p" 2>/dev/null; done
  for p in $pids; do wait "$p" 2>/dev/null; done
  if [ -n "${VESK_KEEP_SERVICES_DIR:-}" ]; then echo "services folder kept: $W" >&2; else rm -rf "$W"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wait_for() {  # wait_for <what> <command...>: up to 10 s
  what=$1; shift
  n=0
  until "$@" >/dev/null 2>&1; do
    n=$((n + 1))
    if [ $n -gt 100 ]; then echo "wayland session: $what did not come up" >&2; return 1; fi
    sleep 0.1
  done
}

dbus-daemon --session --nofork --print-address=3 3>"$W/bus.address" >"$W/bus.log" 2>&1 &
started $!
wait_for "the session bus" test -s "$W/bus.address" || exit 1
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$W/bus.address")
export DBUS_SESSION_BUS_ADDRESS
dbus-update-activation-environment HOME XDG_RUNTIME_DIR XDG_CONFIG_HOME XDG_DATA_HOME \
  XDG_CACHE_HOME XDG_SESSION_TYPE || exit 1

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
