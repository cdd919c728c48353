#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the start-up benchmark of the Windows build under wine, in a test bed
# of its own (scripts/wine-testbed.sh):
#
#     bench/windows/startup.sh [BUILD [RUNS]]     (default: build-windows-x86_64, 9 runs)
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build-windows-x86_64}
runs=${2:-9}
. scripts/wine-testbed.sh
trap wine_testbed_stop EXIT
wine_testbed_start "$build/bench-wine"
wine "$build/startup-bench.exe" "$runs"
