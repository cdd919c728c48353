#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installations found without a path, on real mounts: ostrane --list-windows
# and --windows auto of ostrane-reg and ostrane-scan, with none, one and
# several installations mounted, a folder in any letter case, one mounted
# twice, and a link in place of the Windows folder. Runs in a mount namespace
# of its own with a fresh /tmp, so that nothing it mounts is seen outside;
# skipped (77) where no such namespace can be made or where the machine has
# installations of its own mounted.
#
#     windows-auto-test.sh OSTRANE OSTRANE-REG OSTRANE-SCAN FIXTURE-TOOL DATABASE TEST-VIRUS
set -u
. "$(dirname "$0")/../support/mount-namespace.sh"
ostrane=$1 reg=$2 scan=$3 fixture=$4 database=$5 virus=$6
if [ -n "$("$ostrane" --list-windows 2>/dev/null)" ]; then
    echo "this machine has Windows installations of its own mounted: skipped"
    exit 77
fi
export OSTRANE_HOME=/tmp/home
mkdir -m 700 "$OSTRANE_HOME"
run_key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run'
# Runs a program; its status, standard output and error stay in $status,
# $out and $err.
run() {
    "$@" >/tmp/out 2>/tmp/err
    status=$?
    out=$(cat /tmp/out)
    err=$(cat /tmp/err)
}
# A fresh file system at DIR holding the tests' installation.
mount_installation() {
    mkdir -p "$1" && mount -t tmpfs ostrane-windows "$1" && "$fixture" "$1"
}

# None.
run "$ostrane" --list-windows
check "none: nothing listed, status 1" '[ "$status" = 1 ] && [ -z "$out" ]'
check "none: said on the error stream" 'echo "$err" | grep -q "no Windows installation is mounted"'
run "$reg" --windows auto query "$run_key"
check "none: ostrane-reg fails" '[ "$status" = 1 ] && echo "$err" | grep -q "^ERROR: no Windows installation is mounted"'

# One, used without a path; the scanner walks its disk as C:.
mount_installation /tmp/one
cp "$virus" /tmp/one/Users/alice/setup.exe
run "$ostrane" --list-windows
check "one: listed" '[ "$status" = 0 ] && [ "$out" = /tmp/one ]'
run "$reg" --windows auto query "$run_key"
check "one: ostrane-reg reads its hive" '[ "$status" = 0 ] && echo "$out" | grep -q "Tray"'
check "one: ostrane-reg names it" 'echo "$err" | grep -q "^NOTE: the Windows installation mounted at /tmp/one$"'
run "$scan" --windows auto --db "$database" 'C:\Users'
check "one: ostrane-scan walks it" '[ "$status" = 1 ] && echo "$out" | grep -q "^/tmp/one/Users/alice/setup.exe	"'

# Not counted: a link in place of the Windows folder, and the same disk
# mounted a second time.
mkdir /tmp/link && mount -t tmpfs ostrane-link /tmp/link && ln -s /tmp/one/Windows /tmp/link/Windows
mkdir "/tmp/one again" && mount --bind /tmp/one "/tmp/one again"
run "$ostrane" --list-windows
check "a link and a second mount are not counted" '[ "$out" = /tmp/one ]'

# Several, one of them named in other letter cases: listed, and refused
# without a path.
mount_installation "/tmp/two disk"
mv "/tmp/two disk/Windows" "/tmp/two disk/WINDOWS"
mv "/tmp/two disk/WINDOWS/System32" "/tmp/two disk/WINDOWS/system32"
mv "/tmp/two disk/WINDOWS/system32/config/SOFTWARE" "/tmp/two disk/WINDOWS/system32/config/software"
run "$ostrane" --list-windows
check "several: listed in order, one a line" '[ "$out" = "$(printf "/tmp/one\n/tmp/two disk")" ]'
run "$reg" --windows auto query "$run_key"
check "several: ostrane-reg refuses" '[ "$status" = 1 ] && [ -z "$out" ]'
check "several: ostrane-reg lists them" \
    '[ "$err" = "$(printf "ERROR: several Windows installations are mounted; choose one with --windows DIR:\n  /tmp/one\n  /tmp/two disk")" ]'
run "$scan" --windows auto --db "$database" 'C:\'
check "several: ostrane-scan refuses" '[ "$status" = 2 ] && echo "$err" | grep -q "^ERROR: several"'
run "$reg" --windows "/tmp/two disk" query "$run_key"
check "a path still names one" '[ "$status" = 0 ] && echo "$out" | grep -q "Tray"'

finish "windows auto"
