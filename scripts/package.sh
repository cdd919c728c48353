#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package build/package/ostrane_VERSION_ARCH.deb: installs
# what building and packaging need, builds in build/ for the install prefix
# /usr, and has CPack make the package. Install it with
#     apt install ./build/package/ostrane_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --package
cmake -S . -B build -G Ninja -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build -j2
rm -rf build/package
cpack --config build/CPackConfig.cmake -B build/package
