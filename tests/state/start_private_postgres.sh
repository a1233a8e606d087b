#!/usr/bin/env bash
# Starts a private PostgreSQL cluster for one test run: start_private_postgres.sh DIR makes DIR/data
# and listens only on a Unix socket in DIR (no TCP port), trusting whoever can reach that socket.
# PostgreSQL refuses to run as root, so as root the cluster runs as the unprivileged "nobody".
# Without PostgreSQL installed it says so and succeeds: the tests that need it then skip, unless
# WHARFLING_REQUIRE_POSTGRES=1.
set -euo pipefail
dir=${1:?usage: start_private_postgres.sh DIR}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
  echo "PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/initdb): its tests skip"
  exit 0
fi
bash "$(dirname "$0")/stop_private_postgres.sh" "$dir"
mkdir -p "$dir"
chmod 700 "$dir"
as=()
if [ "$(id -u)" = 0 ]; then
  chown nobody "$dir"
  as=(runuser -u nobody --)
fi
"${as[@]}" "$bin/initdb" -D "$dir/data" -U wharfling -A trust -E UTF8 --locale=C --no-sync >"$dir/initdb.log" ||
  { cat "$dir/initdb.log"; exit 1; }
# Durability is of no use to a cluster thrown away at the end of the run.
"${as[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 start \
  -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off -c synchronous_commit=off \
      -c full_page_writes=off -c max_connections=100 -c shared_buffers=32MB" >/dev/null ||
  { cat "$dir/server.log"; exit 1; }
echo "private PostgreSQL cluster listening in $dir"
