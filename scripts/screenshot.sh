#!/usr/bin/env bash
# Grabs the main window (no display needed) into docs/main-window.png, and
# every tab into docs/screenshots/. The program runs on a demo machine home
# whose registry holds docs/demo-machine.reg (a few startup entries and two
# hijacked programs); drives and processes are this machine's.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j2 --target ostrane-screenshot ostrane-reg

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
OSTRANE_HOME=$home build/ostrane-reg import docs/demo-machine.reg
OSTRANE_HOME=$home build/tools/screenshot/ostrane-screenshot docs/screenshots
mv docs/screenshots/main-window.png docs/main-window.png
