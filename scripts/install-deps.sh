#!/bin/sh
# Installs the Debian 12 packages the project builds and tests with, when any
# of them is missing. Runs apt-get through sudo when not root.
set -eu

PACKAGES="
  build-essential
  cmake
  pkg-config
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libfribidi-dev
  libmobi-dev
  libpango1.0-dev
  libfreetype-dev
  libfontconfig-dev
  libpng-dev
  libsdl2-dev
  fonts-dejavu-core
  culmus
  fonts-sil-ezra
  clang
  libclang-rt-14-dev
  xvfb
  xauth
  xdotool
  x11-apps
"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=""
else
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing
