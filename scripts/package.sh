#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package build/package/ostrane_VERSION_ARCH.deb: installs
# what building and packaging need, builds in build/ for the install prefix
# /usr, and has CPack make the package. Install it with
#     apt install ./build/package/ostrane_*.deb
#
#     scripts/package.sh --windows   the Windows installers instead (NSIS):
#         build/package/ostrane-setup-VERSION.exe       the 32-bit programs
#         build/package/ostrane-setup-VERSION-x64.exe   the 64-bit programs
#     each with the signature database and the test file that the Linux
#     build makes (a database made on either system opens on the other).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--windows" ]; then
    scripts/install-deps.sh --windows
    version=$(sed -n 's/^project(Ostrane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    cmake -S . -B build -G Ninja
    cmake --build build -j2 --target ostrane_scan_data
    mkdir -p build/package
    for arch in i686 x86_64; do
        triplet=$arch-w64-mingw32
        cmake -S . -B "build-windows-$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/windows-$arch.cmake"
        cmake --build "build-windows-$arch" -j2 --target ostrane ostrane-scan ostrane-sigdb
        files=build-windows-$arch/installer-files
        rm -rf "$files"
        mkdir -p "$files"
        for program in ostrane ostrane-scan ostrane-sigdb; do
            "$triplet-strip" -o "$files/$program.exe" "build-windows-$arch/$program.exe"
        done
        cp build/vdtinfo.mdb build/ostrane-test-virus.exe "$files/"
        sed 's/$/\r/' LICENSE > "$files/COPYING.txt"
        if [ "$arch" = i686 ]; then
            target=x86-unicode
            setup=build/package/ostrane-setup-$version.exe
        else
            target=amd64-unicode
            setup=build/package/ostrane-setup-$version-x64.exe
        fi
        makensis -V2 -DVERSION="$version" -DTARGET="$target" -DFILES="$(realpath "$files")" \
            -DOUTFILE="$(realpath -m "$setup")" packaging/windows/ostrane.nsi
        echo "made $setup"
    done
    exit
fi

scripts/install-deps.sh --package
cmake -S . -B build -G Ninja -DCMAKE_INSTALL_PREFIX=/usr
cmake --build build -j2
rm -rf build/package
cpack --config build/CPackConfig.cmake -B build/package
