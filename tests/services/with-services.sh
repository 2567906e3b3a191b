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
# An X11 session, whatever the session running the tests is (tests/services/wayland-session.sh
# gives a Wayland one).
unset WAYLAND_DISPLAY SWAYSOCK
export XDG_SESSION_TYPE=x11
what_runs="test services"
. "$here/scratch-session.sh"
start_session_bus

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
