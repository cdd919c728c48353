#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages that building, running and testing Ostrane need.
# Run as root (or through sudo); safe to run again.
#
#     scripts/install-deps.sh             what the build, the program and the tests need
#     scripts/install-deps.sh --package   also what making and checking the .deb needs
#     scripts/install-deps.sh --fuzz      also what building the fuzz targets needs
#     scripts/install-deps.sh --windows   also what building the Windows programs, testing
#                                         them under wine and making their installer need
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
# The Windows build: the posix-thread mingw-w64 compilers (std::thread), the
# resource compiler in binutils, wine with a display to run the tests on and
# the locale data from which the test bed compiles a Chinese locale, the
# installer's makensis, and the tools that build SQLCipher's amalgamation
# (tclsh) from Debian's source packages (dpkg-dev). 32-bit Windows programs
# need wine's i386 half, on kernels that run 32-bit code.
windows32=
if [ "${1:-}" = "--windows" ]; then
    packages+=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
               binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
               wine wine64 xvfb xauth locales nsis tcl dpkg-dev make)
    if scripts/runs-32bit.sh; then
        windows32=wine32:i386
        packages+=("$windows32")
    fi
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
if [ -n "$windows32" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update
apt-get install -y --no-install-recommends "${missing[@]}"
