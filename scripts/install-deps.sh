#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages that building, running and testing Ostrane need.
# Run as root (or through sudo); safe to run again.
#
#     scripts/install-deps.sh             what the build, the program and the tests need
#     scripts/install-deps.sh --package   also what making and checking the .deb needs
#     scripts/install-deps.sh --fuzz      also what building the fuzz targets needs
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-qpa-plugins libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libsqlcipher-dev zlib1g-dev rhash
    libhivex-dev libhivex-bin
    fonts-arphic-uming
)
if [ "${1:-}" = "--package" ]; then
    packages+=(dpkg-dev file lintian desktop-file-utils appstream man-db groff-base)
fi
if [ "${1:-}" = "--fuzz" ]; then
    packages+=(clang libclang-rt-14-dev libfuzzer-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
