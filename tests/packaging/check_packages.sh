#!/usr/bin/env bash
# Checks the built Debian packages as an installation meets them: each file in its package, the
# programs answering --version, the server finding its thumbnailer and linking no image decoder,
# man pages that render without a warning, the service unit accepted by systemd-analyze with its
# hardening, the file managers' entries accepted by desktop-file-validate, and bash completion
# completing commands, options and choices.
# usage: check_packages.sh DIR (the .deb files of scripts/package.sh)
set -uo pipefail
debs=${1:?usage: check_packages.sh DIR}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
passed=0
failed=0
check() {
  local what=$1
  shift
  if "$@" >"$work/out" 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
    sed 's/^/    /' "$work/out"
  fi
}

# package, then a file it must hold
contents=(
  "wharfling usr/bin/wharfling"
  "wharfling usr/share/man/man1/wharfling.1.gz"
  "wharfling usr/share/bash-completion/completions/wharfling"
  "wharfling usr/share/doc/wharfling/copyright"
  "wharfling-desktop usr/bin/wharfling-desktop"
  "wharfling-desktop usr/share/man/man1/wharfling-desktop.1.gz"
  "wharfling-desktop usr/share/icons/hicolor/scalable/apps/wharfling.svg"
  "wharfling-desktop usr/share/applications/wharfling-upload-parvault.desktop"
  "wharfling-desktop usr/share/Thunar/sendto/wharfling-upload-parvault.desktop"
  "wharfling-desktop usr/share/nemo/actions/wharfling-upload-parvault.nemo_action"
  "wharfling-desktop usr/share/kio/servicemenus/wharfling-upload-parvault.desktop"
  "parvault-server usr/bin/parvault-server"
  "parvault-server usr/libexec/parvault-server/parvault-thumbnailer"
  "parvault-server usr/share/man/man8/parvault-server.8.gz"
  "parvault-server lib/systemd/system/parvault-server.service"
  "parvault-server etc/default/parvault-server"
)
for package in wharfling wharfling-desktop parvault-server; do
  deb=$(find "$debs" -maxdepth 1 -name "${package}_*.deb" | head -n 1)
  check "$package is built" test -n "$deb"
  [ -n "$deb" ] || continue
  dpkg-deb -c "$deb" | awk '{print $6}' | sed 's#^\./##' >"$work/$package.list"
  dpkg-deb -x "$deb" "$root"
done
for line in "${contents[@]}"; do
  check "${line% *} holds ${line#* }" grep -qx "${line#* }" "$work/${line% *}.list"
done

version=$(dpkg-parsechangelog -l "$(dirname "$0")/../../debian/changelog" -S Version)
for program in wharfling wharfling-desktop parvault-server; do
  check "$program --version" grep -qx "$program $version" <(QT_QPA_PLATFORM=offscreen "$root/usr/bin/$program" --version)
done

check "parvault-thumbnailer --version" grep -qx "parvault-thumbnailer $version" \
  <("$root/usr/libexec/parvault-server/parvault-thumbnailer" --version)
# The server decodes no picture, its helper does: libvips and what it pulls in (libcurl among them)
# stay out of the server's process.
# The unpacked server finds the unpacked helper, as the installed one finds the installed helper.
check "parvault-server finds its thumbnailer" bash -c '
  "$1/usr/bin/parvault-server" --listen 127.0.0.1:0 --storage "$2/store" --user a --password b \
    >"$2/server.out" 2>"$2/server.log" &
  server=$!
  for _ in $(seq 100); do grep -q "^listening on" "$2/server.out" && break; sleep 0.1; done
  kill "$server"
  wait "$server"
  cat "$2/server.log"
  grep -qx "parvault-server: thumbnails made by $1/usr/libexec/parvault-server/parvault-thumbnailer" "$2/server.log"' \
  finds "$root" "$work"
check "parvault-server links no image decoder and no libcurl" bash -c \
  "ldd '$root/usr/libexec/parvault-server/parvault-thumbnailer' | grep -q libvips &&
   libs=\$(ldd '$root/usr/bin/parvault-server') && ! grep -E 'libvips|libcurl|libcfitsio|libhdf5|libMagick' <<<\"\$libs\""

for page in man1/wharfling.1 man1/wharfling-desktop.1 man8/parvault-server.8; do
  check "$page renders without warnings" bash -c \
    "zcat '$root/usr/share/man/$page.gz' | groff -man -Tutf8 -ww -z 2>&1 | tee /dev/stderr | (! grep -q .)"
done
check "wharfling(1) holds every command's options" bash -c \
  "zcat '$root/usr/share/man/man1/wharfling.1.gz' | grep -q -- 'password\\\\-stdin' &&
   zcat '$root/usr/share/man/man1/wharfling.1.gz' | grep -q '^\\.SH COMMANDS'"

unit="$root/lib/systemd/system/parvault-server.service"
# Verified as installed, but for its program, which is the unpacked one here.
sed "s#^ExecStart=/usr/bin/#ExecStart=$root/usr/bin/#" "$unit" >"$work/parvault-server.service"
check "systemd-analyze verify accepts the unit" systemd-analyze verify --man=no "$work/parvault-server.service"
check "the unit's exposure (systemd-analyze security) is low" \
  systemd-analyze security --offline=yes --threshold=25 "$work/parvault-server.service"
for setting in NoNewPrivileges=yes ProtectSystem=strict ProtectHome=yes PrivateTmp=yes User=parvault-server \
  StateDirectory=parvault-server EnvironmentFile=-/etc/default/parvault-server; do
  check "the unit sets $setting" grep -qx "$setting" "$unit"
done

# Dolphin's service menu is a Service entry, whose MimeType and Actions the validator allows only in
# applications: those two complaints are the format, any other is a fault.
for entry in applications/wharfling-upload-parvault.desktop Thunar/sendto/wharfling-upload-parvault.desktop \
  kio/servicemenus/wharfling-upload-parvault.desktop; do
  check "desktop-file-validate accepts $entry" bash -c \
    "desktop-file-validate '$root/usr/share/$entry' 2>&1 | grep -v 'but the type is \"Service\"' | tee /dev/stderr | (! grep -q .)"
  check "$entry starts the installed program" grep -q '^Exec="/usr/bin/wharfling-desktop" %F$' "$root/usr/share/$entry"
done

# name of the test, words typed, what the completion must offer (space-separated, in order)
completions=(
  "commands|wharfling up|upload"
  "options|wharfling upload --pass|--password-stdin"
  "choices|wharfling exchange --profile |msie6 msie7"
  "help's commands|wharfling help unr|unregister"
)
for row in "${completions[@]}"; do
  IFS='|' read -r name typed expected <<<"$row"
  check "completion: $name" bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1/usr/share/bash-completion/completions/wharfling"
    PATH="$1/usr/bin:$PATH"
    COMP_LINE=$2 COMP_POINT=${#2}
    read -r -a COMP_WORDS <<<"$2"
    [[ $2 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _wharfling
    [ "${COMPREPLY[*]}" = "$3" ] || { echo "offered: ${COMPREPLY[*]}"; exit 1; }' completion "$root" "$typed" "$expected"
done

echo "packages: $passed passed, $failed failed"
((failed == 0))
