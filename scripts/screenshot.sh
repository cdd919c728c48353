#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Grabs the main window (no display needed) into docs/main-window.png, and
# every tab into docs/screenshots/, the virus-scan tab included: it scans a
# folder holding the scanner's test file and removes it (scan-found.png,
# scan-removed.png). The program runs on a demo machine home whose registry
# holds docs/demo-machine.reg (a few startup entries and two hijacked
# programs); drives and processes are this machine's. Last, the repair tab
# once more, acting on a small Windows installation built for the tests
# (docs/screenshots/windows-repair.png), whose hives hold the same demo data.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j2 --target ostrane-screenshot ostrane-reg ostrane_scan_data ostrane-fixture-installation

home=$(mktemp -d)
samples=$(mktemp -d)
trap 'rm -rf "$home" "$samples"' EXIT
mkdir -p "$samples/downloads"
cp build/ostrane-test-virus.exe "$samples/downloads/setup.exe"
OSTRANE_HOME=$home build/ostrane-reg import docs/demo-machine.reg
docs=$PWD/docs
(cd build && OSTRANE_HOME=$home tools/screenshot/ostrane-screenshot "$docs/screenshots" "C:${samples//\//\\}")
mv docs/screenshots/main-window.png docs/main-window.png

mkdir -p "$samples/rescue"
build/tests/support/ostrane-fixture-installation "$samples/rescue/windows"
OSTRANE_HOME=$home build/ostrane-reg --windows "$samples/rescue/windows" import docs/demo-machine.reg
(cd build && OSTRANE_HOME=$home tools/screenshot/ostrane-screenshot --windows "$samples/rescue/windows" "$samples/shots")
cp "$samples/shots/tab-4.png" docs/screenshots/windows-repair.png
