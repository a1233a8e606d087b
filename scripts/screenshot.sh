#!/usr/bin/env bash
# Pictures of the desktop windows, for a person to look at: starts the in-house Parvault server on
# loopback, runs wharfling-desktop under Xvfb on two photos with the snapshot hook (which presses
# the destination button and saves the window after the run), then opens the site chooser the same
# way, and launches the registered applications entry with gio as a file manager does. Writes
# build/screenshots/upload-dialog.png, site-chooser.png and file-manager-launch.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" release
bin="$root/build/release"
out="$root/build/screenshots"
mkdir -p "$out"

work=$(mktemp -d)
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$bin/parvault-server" --listen 127.0.0.1:0 --storage "$work/storage" --user demo --password 'demo pass' \
  >"$work/server.out" 2>"$work/server.log" &
server_pid=$!
address=""
for _ in $(seq 1 100); do
  address=$(sed -n 's/^listening on //p' "$work/server.out")
  [ -n "$address" ] && break
  sleep 0.1
done
[ -n "$address" ] || { echo "parvault-server did not start" >&2; cat "$work/server.log" >&2; exit 1; }

# Destination 2 (the in-house server) with the demo account saved, as after an earlier run.
export WHARFLING_CONFIG_DIR="$work/config"
mkdir -p "$WHARFLING_CONFIG_DIR"
# The throwaway password stays in this profile, out of the desktop keyring.
printf '[Settings]\nSelect001=2\nId002=demo\nPw002=demo pass\n[Mode]\nkeyring=0\n' \
  >"$WHARFLING_CONFIG_DIR/wharfling.ini"
printf '[Endpoints]\ninhouse.server=%s\n' "$address" >"$WHARFLING_CONFIG_DIR/endpoints.ini"

mkdir -p "$work/photos"
head -c 184320 /dev/urandom >"$work/photos/harbour.jpg"
head -c 96512 /dev/urandom >"$work/photos/港の朝.jpg"

mkdir -m 700 "$work/runtime"
run_desktop() {
  LANG=C.UTF-8 XDG_RUNTIME_DIR="$work/runtime" WHARFLING_DESKTOP_SNAPSHOT="$1" xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" \
    "$bin/wharfling-desktop" "$work/photos/harbour.jpg" "$work/photos/港の朝.jpg"
}

run_desktop "upload:$out/upload-dialog.png"
echo "wrote $out/upload-dialog.png"

# The chooser opens at start-up when the profile asks for it. This run closes it without a choice,
# which selects destination 1 (Parvault), so that one gets an account too.
printf '[Settings]\nSelect001=2\nId002=demo\nPw002=demo pass\nParvaultD=demo\nParvaultW=demo pass\n[Mode]\nmulti=1\nkeyring=0\n' \
  >"$WHARFLING_CONFIG_DIR/wharfling.ini"
run_desktop "chooser:$out/site-chooser.png"
echo "wrote $out/site-chooser.png"
echo "== stored on the server"
(cd "$work/storage" && find . -type f -printf '%P  %s bytes\n' | sort)

# The registered applications entry launched on two photos as a file manager launches it.
bash "$root/tests/desktop/gio_launch_test.sh" "$bin/wharfling" "$bin/wharfling-desktop" "$out/file-manager-launch.png"
