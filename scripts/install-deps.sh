#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the tests and the demo need and the machine lacks.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libc-bin
  libcurl4-openssl-dev libssl-dev openssl ca-certificates nlohmann-json3-dev libcpp-httplib-dev libsqlite3-dev libpq-dev git
  libgtest-dev libgmock-dev libbenchmark-dev libvips-dev libexiv2-dev
  g++-mingw-w64-x86-64 clang-format clang libclang-rt-14-dev python3
  qt6-base-dev qt6-svg-dev xvfb xauth fonts-ipafont-gothic wine64 fonts-wine
  libsecret-1-dev gnome-keyring dbus-daemon
  chromium chromium-driver python3-selenium
  postgresql)
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
