#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Tallyclock needs.
# Safe to run again: packages already present are skipped.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config gettext clang libclang-rt-14-dev
  # Qt 6
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # data store
  libsqlite3-dev sqlite3
  # e-mail notices
  libcurl4-openssl-dev
  # web report
  libcpp-httplib-dev
  # speech
  libespeak-ng-dev espeak-ng-data
  # camera capture
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
  gstreamer1.0-plugins-good libjpeg62-turbo-dev
  # reports and workbooks
  libxlsxwriter-dev fonts-liberation
  # names in Chinese, Japanese and Korean script print with this face
  fonts-wqy-microhei
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth libxcb1-dev
  python3-aiosmtpd poppler-utils python3-openpyxl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then SUDO=(); else SUDO=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -q
"${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
