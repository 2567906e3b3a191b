#!/bin/sh
# Runs a command with the test services up, then stops them, whatever the command's outcome:
#   tests/services/with-services.sh <command...>
# Services, all private to this run and needing no hardware:
#   - a session bus, on which the keyring, the accessibility bus and the calendar store start on
#     demand; what the bus and the services it starts write goes to bus.log in the services
#     folder, so the command's own output is all that reaches the terminal;
#   - PulseAudio with a virtual microphone: playing into sink "micfeed" is heard on the default
#     source "virtmic"; the default output is a separate null sink "speakers";
#   - an X server (Xvfb) with an EWMH window manager (openbox);
#   - an unlocked keyring (gnome-keyring-daemon) holding the default collection.
# Exports DISPLAY, DBUS_SESSION_BUS_ADDRESS, PULSE_SERVER, VESK_SERVICES_DIR and
# VESK_TEST_SERVICES=1 to the command. Exits with the command's status.
set -u

here=$(cd "$(dirname "$0")" && pwd)
W=$(mktemp -d /tmp/vesk-services-XXXXXX)
export VESK_SERVICES_DIR="$W"
export HOME="$W/home" XDG_RUNTIME_DIR="$W/run" XDG_CONFIG_HOME="$W/home/.config" \
  XDG_DATA_HOME="$W/home/.local/share" XDG_CACHE_HOME="$W/home/.cache"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# An X11 session, whatever the session running the tests is (tests/services/wayland-session.sh
# gives a Wayland one).
unset WAYLAND_DISPLAY SWAYSOCK
export XDG_SESSION_TYPE=x11

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
    if [ $n -gt 100 ]; then echo "test services: $what did not come up" >&2; return 1; fi
    sleep 0.1
  done
}

# Session bus. The services it starts on demand write where it does: to bus.log.
dbus-daemon --session --nofork --print-address=3 3>"$W/bus.address" >"$W/bus.log" 2>&1 &
started $!
wait_for "the session bus" test -s "$W/bus.address" || exit 1
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$W/bus.address")
export DBUS_SESSION_BUS_ADDRESS
# Services the bus starts on demand (the calendar store, dconf) must live in the scratch HOME,
# never in the real one, whatever the bus's own environment was.
dbus-update-activation-environment HOME XDG_RUNTIME_DIR XDG_CONFIG_HOME XDG_DATA_HOME \
  XDG_CACHE_HOME || exit 1

# Sound server.
export PULSE_SERVER="unix:$W/pulse.sock"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target="file:$W/pulse.log" \
  --load="module-native-protocol-unix socket=$W/pulse.sock auth-anonymous=1" \
  --load="module-null-sink sink_name=speakers sink_properties=device.description=Speakers" \
  --load="module-null-sink sink_name=micfeed sink_properties=device.description=MicFeed" \
  --load="module-remap-source source_name=virtmic master=micfeed.monitor source_properties=device.description=VirtualMic" \
  >/dev/null 2>&1 &
started $!
wait_for "the sound server" pactl info || exit 1
pactl set-default-sink speakers
pactl set-default-source virtmic
# Null sinks start with seconds of latency; recorders on their monitors bring it down, so the
# first words played into the microphone are not lost.
parec --latency-msec=10 -d micfeed.monitor >/dev/null 2>&1 &
started $!
parec --latency-msec=10 -d speakers.monitor >/dev/null 2>&1 &
started $!

# X server and window manager.
exec 9>"$W/display"
Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp >"$W/xvfb.log" 2>&1 &
started $!
exec 9>&-
wait_for "the X server" test -s "$W/display" || exit 1
export DISPLAY=":$(cat "$W/display")"
openbox >"$W/openbox.log" 2>&1 &
started $!
wait_for "the window manager" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window' || exit 1

# Keyring, unlocked, with its default collection.
printf '%s' vesk-test | gnome-keyring-daemon --foreground --unlock --components=secrets \
  >"$W/keyring.log" 2>&1 &
started $!
wait_for "the keyring" busctl --user status org.freedesktop.secrets || exit 1

sleep 1.5  # the null sinks settle to low latency
export VESK_TEST_SERVICES=1
"$@"
status=$?
exit $status
