#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what Ostrane needs, builds it and runs it in build/, where the
# shipped signature database vdtinfo.mdb lies and Error.log can be written.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j2 --target ostrane ostrane_scan_data
cd build
exec ./ostrane "$@"
