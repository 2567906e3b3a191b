# Sourced by with-services.sh and wayland-session.sh once W names a fresh folder and `what_runs`
# the name their messages go under. Gives the run a home, data and runtime folders of its own in
# W; `started` records a service's pid, and every recorded service is stopped and W removed when
# the script ends (kept with VESK_KEEP_SERVICES_DIR set); `wait_for` waits for a service;
# `start_session_bus` starts a session bus that writes to W/bus.log.
export VESK_SERVICES_DIR="$W"
export HOME="$W/home" XDG_RUNTIME_DIR="$W/run" XDG_CONFIG_HOME="$W/home/.config" \
  XDG_DATA_HOME="$W/home/.local/share" XDG_CACHE_HOME="$W/home/.cache"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"

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
    if [ $n -gt 100 ]; then echo "$what_runs: $what did not come up" >&2; return 1; fi
    sleep 0.1
  done
}

# The services the bus starts on demand (the calendar store, dconf, the accessibility bus) write
# where it does, and live in the scratch HOME, never in the real one, whatever the bus's own
# environment was.
start_session_bus() {
  dbus-daemon --session --nofork --print-address=3 3>"$W/bus.address" >"$W/bus.log" 2>&1 &
  started $!
  wait_for "the session bus" test -s "$W/bus.address" || exit 1
  DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$W/bus.address")
  export DBUS_SESSION_BUS_ADDRESS
  dbus-update-activation-environment HOME XDG_RUNTIME_DIR XDG_CONFIG_HOME XDG_DATA_HOME \
    XDG_CACHE_HOME XDG_SESSION_TYPE || exit 1
}
