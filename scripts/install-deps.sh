#!/usr/bin/env bash
# Installs, from Debian's packages, what one command needs and the machine lacks:
#   scripts/install-deps.sh demo    what the main job needs: building and running wharfling and
#                                   parvault-server (scripts/demo.sh)
#   scripts/install-deps.sh tests   all of that and what the test command needs besides (the desktop
#                                   program, the tests, the Windows build and Wine, the browser, the
#                                   fuzzers and the packages); the default
set -euo pipefail
demo=(cmake ninja-build g++ pkg-config libc-bin python3
  libcurl4-openssl-dev libssl-dev openssl ca-certificates nlohmann-json3-dev libmicrohttpd-dev libgnutls28-dev libsqlite3-dev libpq-dev
  libvips-dev libexiv2-dev libsecret-1-dev)
tests=("${demo[@]}" git
  libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-x86-64 clang-format clang libclang-rt-14-dev
  qt6-base-dev qt6-svg-dev xvfb xauth fonts-ipafont-gothic wine64 fonts-wine
  gnome-keyring dbus-daemon
  chromium chromium-driver python3-selenium
  dpkg-dev debhelper lintian help2man devscripts desktop-file-utils libglib2.0-bin systemd bash-completion
  man-db postgresql)
case "${1-tests}" in
  demo) packages=("${demo[@]}") ;;
  tests) packages=("${tests[@]}") ;;
  *) echo "usage: bash scripts/install-deps.sh [demo|tests]" >&2; exit 64 ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# Chromium's driver talks to the browser at "localhost"; a bare container or chroot may have no
# /etc/hosts to name it.
if ! getent hosts localhost >/dev/null; then
  echo "127.0.0.1 localhost" >>/etc/hosts
  echo "added localhost to /etc/hosts"
fi
