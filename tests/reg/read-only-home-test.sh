#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# A machine home on a read-only medium: ostrane-reg reads its registry and
# every change fails as on a write-protected medium, leaving it as it was.
# Runs in a mount namespace of its own, with the home bound read-only onto
# itself; skipped (77) where no such namespace can be made.
#
#     read-only-home-test.sh OSTRANE-REG
set -u
. "$(dirname "$0")/../support/mount-namespace.sh"
reg=$1
export OSTRANE_HOME=/tmp/home
mkdir -m 700 "$OSTRANE_HOME"
key='HKLM\Software\Kept'
"$reg" add "$key" /v v /d kept /f > /dev/null || exit 1
mount --bind "$OSTRANE_HOME" "$OSTRANE_HOME" && mount -o remount,bind,ro "$OSTRANE_HOME" || exit 77
touch "$OSTRANE_HOME/x" 2>/dev/null && { echo "the home is still writable: skipped"; exit 77; }
before=$(md5sum "$OSTRANE_HOME/registry.db")

out=$("$reg" query "$key" /v v 2>&1)
check "a read-only home is read" 'echo "$out" | grep -q "    v    REG_SZ    kept"'
out=$("$reg" add "$key" /v v /d changed /f 2>&1)
status=$?
check "a change fails" '[ "$status" = 1 ]'
check "a change fails as on a write-protected medium" \
    'echo "$out" | grep -q "^ERROR: The registry is read-only: it lies on a read-only medium"'
out=$("$reg" delete "$key" /f 2>&1)
status=$?
check "a deletion fails" '[ "$status" = 1 ] && echo "$out" | grep -q "read-only"'
out=$("$reg" query "$key" /v v 2>&1)
check "nothing changed" 'echo "$out" | grep -q "    v    REG_SZ    kept" && [ "$(md5sum "$OSTRANE_HOME/registry.db")" = "$before" ]'

finish "read-only home"
