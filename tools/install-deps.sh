#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need
# (qt6-multimedia-dev: the new-message sound; samba and smbnetfs: the tests
# that run on a real file share; libmicrohttpd:
# the status page's web server; chromium: the status page's browser test;
# dpkg-dev, file, desktop-file-utils and man-db: building and checking the
# package; libical and nlohmann-json: the calendar feed and the board as
# JSON, python3-icalendar: the feed's test reads it with a reader of its own;
# libsodium: the slow, salted hash of the personal passwords).
# Only what is missing is installed; needs root or sudo.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl1-mesa-dev qt6-multimedia-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libmicrohttpd-dev chromium
  libical-dev libical3 nlohmann-json3-dev python3-icalendar
  libsodium-dev
  clang libclang-rt-14-dev
  fonts-liberation xvfb xauth
  samba smbnetfs
  poppler-utils
  dpkg-dev file desktop-file-utils man-db
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
