#!/usr/bin/env bash
# The main job: starts the in-house Parvault server on loopback with a demo account, uploads a few
# generated photos to it (destination 2) with `wharfling upload` from a fresh settings folder, lists
# what arrived on the server and tells where to look at them in a browser. Leaves no process and no
# file behind; with --keep-serving the server stays up until Ctrl-C, then the same holds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
keep_serving=0
case "${1-}" in
  "") ;;
  --keep-serving) keep_serving=1 ;;
  *) echo "usage: bash scripts/demo.sh [--keep-serving]" >&2; exit 64 ;;
esac
bash "$root/scripts/install-deps.sh" demo
# Only the two programs the job runs, without debugging data, in a tree of their own (no desktop
# program, no tests: what they need is not installed for the demo), and warnings stay warnings (the
# test command makes them errors).
cmake -S "$root" -B "$root/build/demo" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWHARFLING_DESKTOP=OFF \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build "$root/build/demo" --target wharfling parvault-server
bin="$root/build/demo"

work=$(mktemp -d)
server_pid=""
log_pid=""
cleanup() {
  for pid in $server_pid $log_pid; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# Ctrl-C (the way out of --keep-serving) ends with the upload's status, after the cleanup above.
trap 'echo; echo "== stopping the server"; exit "${status:-130}"' INT TERM

# Starts the server on $1 and waits for its ready line; sets address to where it listens.
start_server() {
  (umask 077 && echo 'demo pass' >"$work/password")
  "$bin/parvault-server" --listen "$1" --storage "$work/storage" --user demo --password-file "$work/password" \
    >"$work/server.out" 2>"$work/server.log" &
  server_pid=$!
  for _ in $(seq 1 100); do
    if grep -q '^listening on ' "$work/server.out"; then
      address=$(sed -n 's/^listening on //p' "$work/server.out")
      return 0
    fi
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  wait "$server_pid" 2>/dev/null || true
  server_pid=""
  return 1
}

export WHARFLING_CONFIG_DIR="$work/config"
mkdir -p "$WHARFLING_CONFIG_DIR"
# The demo's throwaway password stays in its own profile, out of the desktop keyring.
printf '[Mode]\nkeyring=0\n' >"$WHARFLING_CONFIG_DIR/wharfling.ini"
# The uploader's built-in address for destination 2 is the server's default; only when that port is
# taken does the demo use another and tell the uploader through endpoints.ini.
address=""
if ! start_server 127.0.0.1:8780; then
  start_server 127.0.0.1:0
  printf '[Endpoints]\ninhouse.server=%s\n' "$address" >"$WHARFLING_CONFIG_DIR/endpoints.ini"
fi
echo "== parvault-server listening on $address"

# Real little photos, drawn by a script, so that the gallery has pictures to show.
mkdir -p "$work/photos/holiday" "$work/photos/garden"
for photo in holiday/beach:beach holiday/harbour:harbour garden/beach:garden; do
  python3 "$root/tests/browser/make_jpeg.py" --scene "${photo#*:}" "$work/photos/${photo%%:*}.jpg"
done
mkdir "$work/photos/empty-album"

echo "== wharfling upload"
status=0
echo 'demo pass' | "$bin/wharfling" upload --destination 2 --progress --id demo --password-stdin \
  "$work/photos/holiday/beach.jpg" "$work/photos/holiday/harbour.jpg" "$work/photos/garden/beach.jpg" \
  "$work/photos/empty-album" || status=$?

echo "== stored on the server (the photos; the server's own files start with a dot)"
(cd "$work/storage" && find . -type f ! -name '.*' -printf '%P  %s bytes\n' | sort)
echo "== server log"
cat "$work/server.log"

url="http://$address/ParvaultAsp2/"
echo
if ((keep_serving)); then
  echo "== the photos are in the gallery: open $url in a browser"
  echo "   and sign in as \"demo\" with the password \"demo pass\". Ctrl-C stops the server."
  tail -n 0 -f --pid="$server_pid" "$work/server.log" &
  log_pid=$!
  wait "$server_pid" || true
  server_pid=""
else
  echo "== done; the server stops with this script. To look at the photos in a browser, run"
  echo "       bash scripts/demo.sh --keep-serving"
  echo "   and open $url (user \"demo\", password \"demo pass\")."
fi
exit "$status"
