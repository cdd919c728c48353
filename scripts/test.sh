#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what the build needs, builds Ostrane with its tests and runs them.
#
#     scripts/test.sh              the normal build, in build/
#     scripts/test.sh --sanitize   the same suite built with AddressSanitizer and
#                                  UndefinedBehaviorSanitizer, in build-sanitize/
#     scripts/test.sh --tsan       the tests of what runs on several threads (the
#                                  scan page's runs, process control, registry
#                                  locking, the data layer across threads, the
#                                  framework's cross-thread calls) built with
#                                  ThreadSanitizer, in build-tsan/
#     scripts/test.sh --windows    the Windows programs and their tests, built for
#                                  32-bit (build-windows-i686/) and 64-bit Windows
#                                  (build-windows-x86_64/); the tests run under wine,
#                                  on the 32-bit build where this machine runs 32-bit
#                                  programs, otherwise on the 64-bit one
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--windows" ]; then
    scripts/install-deps.sh --windows
    for arch in i686 x86_64; do
        cmake -S . -B "build-windows-$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/windows-$arch.cmake"
        cmake --build "build-windows-$arch" -j2
    done
    arch=x86_64
    if scripts/runs-32bit.sh; then
        arch=i686
    fi
    echo "== the tests of the $arch build, under wine"
    . scripts/wine-testbed.sh
    trap wine_testbed_stop EXIT
    wine_testbed_start "build-windows-$arch/wine"
    ctest --test-dir "build-windows-$arch" --output-on-failure -j2
    exit
fi

build=build
options=()
targets=()
tests=()
if [ "${1:-}" = "--sanitize" ]; then
    build=build-sanitize
    options=(-DOSTRANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
    # Any report fails the run: errors abort, leaks make the exit status non-zero.
    export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
elif [ "${1:-}" = "--tsan" ]; then
    build=build-tsan
    options=(-DOSTRANE_TSAN=ON)
    # Only the test programs that start threads are built, and of them only
    # the tests that do.
    targets=(--target scan_page_tests process_tests platform_tests fw_tests ado_tests ado_factory_tests app_tests)
    tests=(-R '^(ScanPageTest|ProcessPage|Threads|Handles|LastError|OpenProcessAndThread|TerminateProcess|SuspendThread|ProcessRights|Registry|RegistryOpening|Calls/OffThreadCallTest|ModalBoxAcrossThreadsTest|FactoryTest|MainWindowWithScanner)\.|^ConnectionTest\.WrappersOnSeveralThreads|^WindowsInstallation\.TwoWriters')
    # Any report fails the test that made it.
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp"
fi

scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja "${options[@]}"
cmake --build "$build" -j2 "${targets[@]}"
ctest --test-dir "$build" --output-on-failure -j2 "${tests[@]}"
