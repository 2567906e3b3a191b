#!/bin/sh
# The Debian package as a user meets it: lintian finds no error in it; apt-get installs it with
# what it depends on; the vesk-native on PATH answers a usage error and device-id, and reports a
# keyring it cannot reach; apt-get remove takes it away, leaving none of its files or folders
# on disk.
#   tests/package/install-run-remove.sh <vesk-native_*.deb>
set -u
deb=$(readlink -f "$1")
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
failures=0
checks=0
check() {  # check <what> <command...>
  what=$1; shift
  checks=$((checks + 1))
  if "$@"; then echo "package: $what: ok"; else echo "package: $what: FAILED" >&2; failures=$((failures + 1)); fi
}

lint=$(lintian --fail-on error "$deb" 2>&1 | grep -v '^running with root privileges')
check "lintian reports no error" test -z "$(printf '%s\n' "$lint" | grep '^E:')"
[ -n "$lint" ] && printf '%s\n' "$lint"

export DEBIAN_FRONTEND=noninteractive
$sudo apt-get install -y -qq "$deb" >/dev/null || { echo "package: apt-get install failed" >&2; exit 1; }
files=$(dpkg-query -L vesk-native)
check "installed on PATH" test "$(command -v vesk-native)" = /usr/bin/vesk-native

out=$(cd / && vesk-native 2>/tmp/vesk-package-usage.$$); status=$?
check "a usage error exits 64" test "$status" -eq 64
check "a usage error prints the usage text only on standard error" \
  sh -c "test -z '$out' && grep -q '^usage: vesk-native ' /tmp/vesk-package-usage.$$"
rm -f /tmp/vesk-package-usage.$$

out=$(cd / && vesk-native device-id); status=$?
check "device-id answers" test "$status" -eq 0
check "device-id answers with its id" sh -c "printf '%s' '$out' | grep -Eq '^\{\"id\":\"[0-9A-F-]{36}\"\}$'"

# The keyring module fails on a bus that is not there; its error crosses into the binary, which
# reports it (each file carries its own copy of the C++ runtime).
err=$(cd / && DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent vesk-native secret get vesk-package \
  </dev/null 2>&1 >/dev/null); status=$?
check "an error raised in a module is reported by the binary" \
  test "$status" -eq 1 -a "$err" = "Keychain read failed (1)"

$sudo apt-get remove -y -qq vesk-native >/dev/null || { echo "package: apt-get remove failed" >&2; exit 1; }
left=""
for path in $files; do
  case "$path" in
    /usr/lib/*/vesk-native* | /usr/share/doc/vesk-native* | /usr/share/man/man1/vesk-native* | \
      /usr/bin/vesk-native) [ -e "$path" ] && left="$left $path" ;;
  esac
done
check "nothing of it is left on disk" test -z "$left"
[ -n "$left" ] && echo "left:$left" >&2
check "dpkg no longer knows it" sh -c "! dpkg-query -W -f='\${Status}' vesk-native 2>/dev/null | grep -q installed"

echo "package: $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
