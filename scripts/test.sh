#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what the build needs, builds Ostrane with its tests and runs them.
#
#     scripts/test.sh              the normal build, in build/
#     scripts/test.sh --sanitize   the same suite built with AddressSanitizer and
#                                  UndefinedBehaviorSanitizer, in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
options=()
if [ "${1:-}" = "--sanitize" ]; then
    build=build-sanitize
    options=(-DOSTRANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
    # Any report fails the run: errors abort, leaks make the exit status non-zero.
    export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja "${options[@]}"
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2
