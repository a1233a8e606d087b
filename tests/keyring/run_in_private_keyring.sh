#!/usr/bin/env bash
# Runs the given test program against a Secret Service of its own: a private session bus and a
# gnome-keyring-daemon unlocked with a throwaway password, in a private home, so that nothing
# touches the keyring of whoever runs the tests.
set -euo pipefail
for tool in dbus-run-session gnome-keyring-daemon; do
  if ! command -v "$tool" >/dev/null; then
    if [[ "${WHARFLING_REQUIRE_KEYRING:-}" == 1 ]]; then
      echo "keyring tests: $tool is missing (bash scripts/install-deps.sh installs it)" >&2
      exit 1
    fi
    echo "keyring tests SKIPPED: $tool is missing (bash scripts/install-deps.sh installs it)"
    exit 77
  fi
done
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/data" "$home/config" "$home/cache" "$home/run"
chmod 700 "$home/run"
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache"
export XDG_RUNTIME_DIR="$home/run"
# First a session bus with no Secret Service on it, not even one it could start, then one with the
# daemon, which leaves with the bus when the test program ends.
cat >"$home/bare-bus.conf" <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-run-session --config-file="$home/bare-bus.conf" -- "$@" --gtest_filter='NoSecretService*'
dbus-run-session -- sh -c \
  'printf %s throwaway | gnome-keyring-daemon --unlock --components=secrets >/dev/null && exec "$@"' sh "$@" \
  --gtest_filter='-NoSecretService*'
