#!/usr/bin/env bash
# Stops the cluster start_private_postgres.sh DIR started (or one a broken run left behind) and
# removes DIR with its data.
set -euo pipefail
dir=${1:?usage: stop_private_postgres.sh DIR}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -n "$bin" ] && [ -f "$dir/data/postmaster.pid" ]; then
  as=()
  [ "$(id -u)" = 0 ] && as=(runuser -u nobody --)
  "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
fi
rm -rf "$dir"
