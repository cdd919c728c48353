#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Rebuilds res/banner.bmp, res/ostrane.ico, res/usbstor.inf and res/usbstor.pnf.
#
#   tools/artwork/make-artwork.sh [--preview DIR]
#
# The generator is compiled into a temporary directory and removed afterwards.
# Needs g++, pkg-config, Qt 6 (Gui), DejaVu Sans and WenQuanYi Zen Hei.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

g++ -std=c++20 -O2 -fPIC -Wall -Wextra \
    $(pkg-config --cflags Qt6Gui) \
    "$here"/main.cpp "$here"/Artwork.cpp "$here"/Dib.cpp "$here"/UsbStorInf.cpp "$here"/Pnf.cpp \
    -o "$work/make-artwork" \
    $(pkg-config --libs Qt6Gui)

QT_QPA_PLATFORM=offscreen "$work/make-artwork" "$root/res" "$@"
