#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets of fuzz/ (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs them.
#
#     scripts/fuzz.sh --smoke                  every target over its seed corpus, then a
#                                              fixed number of runs from a fixed seed (CI)
#     scripts/fuzz.sh --long [RUNS] [TARGET...] every target (or those named) for RUNS runs,
#                                              1,000,000 by default, one after another
#     scripts/fuzz.sh --long ... --jobs 2      two targets at a time
#
# A long run keeps what it finds in build-fuzz/corpus/TARGET, to start from
# next time, and logs to build-fuzz/logs/TARGET.log; it ends with a table of
# runs, time, coverage and corpus at start and end, and findings per target.
# Inputs that fail are written to build-fuzz/findings/TIME/. Nothing is
# written into fuzz/: a finding, once fixed, goes into fuzz/TARGET/corpus by
# hand, as a regression case.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-fuzz

usage() {
    sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

mode=${1:-}
[ "$mode" = --smoke ] || [ "$mode" = --long ] || usage
shift
runs=50000
jobs=1
targets=()
if [ "$mode" = --long ]; then
    runs=1000000
    if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
        runs=$1
        shift
    fi
fi
while [ $# -gt 0 ]; do
    case $1 in
    --jobs) [[ "${2:-}" =~ ^[1-9][0-9]*$ ]] || usage; jobs=$2; shift 2 ;;
    -*) usage ;;
    *) targets+=("$1"); shift ;;
    esac
done

scripts/install-deps.sh --fuzz
cmake -S . -B "$build" -G Ninja -DOSTRANE_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2 --target ostrane_fuzz_targets

# Every folder of fuzz/ but the shared support is a target.
if [ ${#targets[@]} -eq 0 ]; then
    for folder in fuzz/*/; do
        name=$(basename "$folder")
        [ "$name" = support ] || targets+=("$name")
    done
fi
for name in "${targets[@]}"; do
    if [ ! -x "$build/fuzz/fuzz_$name" ]; then
        echo "fuzz: no target $name (a line of fuzz/CMakeLists.txt builds fuzz_NAME)" >&2
        exit 1
    fi
done

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
findings=$build/findings/$(date +%Y%m%d-%H%M%S)
mkdir -p "$findings" "$build/logs" "$build/corpus"
# The targets run in a folder of their own: a wrapper may write Error.log
# into the current directory.
mkdir -p "$build/run"
cd "$build/run"

# Runs one target; its log is build-fuzz/logs/NAME.log, its exit status
# build-fuzz/logs/NAME.status.
run_target() {
    local name=$1 work=$2 seed=$3 status=0
    local options=(-runs="$runs" -seed="$seed" -timeout=30 -malloc_limit_mb=256 -print_final_stats=1
                   -artifact_prefix="$findings/$name-")
    [ -f "$root/fuzz/$name/$name.dict" ] && options+=(-dict="$root/fuzz/$name/$name.dict")
    mkdir -p "$work"
    "$build/fuzz/fuzz_$name" "${options[@]}" "$work" "$root/fuzz/$name/corpus" >"$build/logs/$name.log" 2>&1 ||
        status=$?
    echo "$status" >"$build/logs/$name.status"
}

# "cov ft corpus" from libFuzzer's first (INITED) or last (DONE) status line.
status_of() {
    grep -a -m1 "$2" "$build/logs/$1.log" |
        sed -n 's/.*cov: \([0-9]*\) ft: \([0-9]*\) corp: \([0-9]*\)\/.*/\1 \2 \3/p'
}

report() {
    local name=$1 status=$2
    local first last executed seconds found
    first=$(status_of "$name" INITED)
    last=$(grep -a "DONE\|pulse\|NEW\|REDUCE\|INITED" "$build/logs/$name.log" | tail -1 |
           sed -n 's/.*cov: \([0-9]*\) ft: \([0-9]*\) corp: \([0-9]*\)\/.*/\1 \2 \3/p')
    executed=$(sed -n 's/^stat::number_of_executed_units: //p' "$build/logs/$name.log")
    seconds=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$build/logs/$name.log")
    found=$(find "$findings" -name "$name-*" | wc -l)
    read -r cov0 ft0 corp0 <<<"${first:-- - -}"
    read -r cov1 ft1 corp1 <<<"${last:-- - -}"
    printf '%-18s %10s %7s %13s %15s %13s %8s  %s\n' "$name" "${executed:--}" "${seconds:--}" "$cov0 -> $cov1" \
        "$ft0 -> $ft1" "$corp0 -> $corp1" "$found" "$([ "$status" -eq 0 ] && echo ok || echo FAILED)"
}

if [ "$mode" = --smoke ]; then
    # From the seeds alone, the same runs every time.
    for name in "${targets[@]}"; do
        work=$(mktemp -d)
        run_target "$name" "$work" 1
        rm -rf "$work"
    done
else
    for name in "${targets[@]}"; do
        while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
            wait -n
        done
        run_target "$name" "$build/corpus/$name" "$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')" &
    done
    wait
fi

printf '%-18s %10s %7s %13s %15s %13s %8s\n' target runs seconds cov ft corpus findings
failed=0
for name in "${targets[@]}"; do
    status=$(cat "$build/logs/$name.status")
    report "$name" "$status"
    if [ "$status" -ne 0 ]; then
        failed=1
        echo "--- $name: the end of build-fuzz/logs/$name.log" >&2
        grep -a -v "^#[0-9]*\s*\(NEW\|REDUCE\|pulse\)" "$build/logs/$name.log" | tail -40 >&2
    fi
done
exit $failed
