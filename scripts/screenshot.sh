#!/usr/bin/env bash
# Grabs the main window (no display needed) into docs/main-window.png, and
# every tab into docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j2 --target ostrane-screenshot
build/tools/screenshot/ostrane-screenshot docs/screenshots
mv docs/screenshots/main-window.png docs/main-window.png
