#!/usr/bin/env bash
# The registered applications entry launched as a file manager launches it: `wharfling register`
# writes it, `gio launch` starts it on two photos under Xvfb, and the dialog opens listing both.
# The window as it opened is kept as SCREENSHOT.
# usage: gio_launch_test.sh WHARFLING WHARFLING_DESKTOP SCREENSHOT
# Skips (77) without gio or Xvfb, unless WHARFLING_REQUIRE_DESKTOP_TOOLS=1.
set -euo pipefail
wharfling=$1
desktop=$2
screenshot=$3
for tool in gio xvfb-run; do
  if ! command -v "$tool" >/dev/null; then
    if [ "${WHARFLING_REQUIRE_DESKTOP_TOOLS-}" = 1 ]; then
      echo "$tool is missing" >&2
      exit 1
    fi
    echo "SKIPPED: $tool is missing (bash scripts/install-deps.sh installs it)"
    exit 77
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$wharfling" register --prefix "$work/share" --program "$desktop" >/dev/null
entry="$work/share/applications/wharfling-upload-parvault.desktop"
mkdir -p "$work/photos" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
head -c 184320 /dev/zero >"$work/photos/harbour.jpg"
head -c 96512 /dev/zero >"$work/photos/港の朝.jpg"
# Destination 2 with an account, kept in the profile (no keyring on this display).
for profile in wharfling.ini wharfling-desktop.ini; do
  printf '[Settings]\nSelect001=2\nId002=demo\nPw002=demo pass\n[Mode]\nkeyring=0\n' >"$work/config/$profile"
done

export WHARFLING_CONFIG_DIR="$work/config" WHARFLING_DESKTOP_SNAPSHOT="open:$work/dialog.png" LANG=C.UTF-8 \
  XDG_RUNTIME_DIR="$work/runtime" DBUS_SESSION_BUS_ADDRESS=
# gio hands the program over and returns; the program prints its rows once its window is shown.
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" bash -c '
  gio launch "$1" "$2" "$3" >"$4" 2>&1 || exit 1
  for _ in $(seq 1 600); do
    [ "$(grep -c "^row: " "$4")" -ge 2 ] && { sleep 1; exit 0; }
    sleep 0.1
  done
  exit 1' launch "$entry" "$work/photos/harbour.jpg" "$work/photos/港の朝.jpg" "$work/launch.out" || {
  echo "the dialog did not list the photos; its output:" >&2
  cat "$work/launch.out" >&2
  exit 1
}
rows=$(sed -n 's/^row: \([^\t]*\)\t.*/\1/p' "$work/launch.out" | sort)
expected=$(printf '%s\n' harbour.jpg 港の朝.jpg | sort)
if [ "$rows" != "$expected" ]; then
  printf 'rows:\n%s\nexpected:\n%s\n' "$rows" "$expected" >&2
  exit 1
fi
mkdir -p "$(dirname "$screenshot")"
cp "$work/dialog.png" "$screenshot"
echo "gio launch opened the dialog with both photos; wrote $screenshot"
