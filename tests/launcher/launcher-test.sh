#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The launcher: it seeds a machine home of the user's own with the shipped
# database, through a link or, where the file system has none, a rename that
# replaces nothing; it seeds nothing into a home that others may write or
# that belongs to another user, and starts the program all the same.
set -u
launcher=$1
shipped=$2
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
failures=0
check() {
    if ! eval "$2"; then
        echo "FAILED: $1" >&2
        failures=$((failures + 1))
    fi
}

# A new home: made for the user alone, seeded, the program started in it.
home=$work/new/ostrane
output=$(OSTRANE_HOME=$home sh "$launcher" 2>&1)
check "a new home is seeded" 'cmp -s "$home/vdtinfo.mdb" "$shipped"'
check "a new home is the user's alone" '[ "$(stat -c %a "$home")" = 700 ]'
check "the program runs in the home" '[ "$output" = "ran in $home with $home" ]'

# An existing database is kept.
echo mine > "$home/vdtinfo.mdb"
OSTRANE_HOME=$home sh "$launcher" >/dev/null 2>&1
check "an existing database is kept" '[ "$(cat "$home/vdtinfo.mdb")" = mine ]'

# Without links, a rename seeds the home.
mkdir -p "$work/bin" "$work/nolinks"
printf '#!/bin/sh\necho "ln: operation not permitted" >&2\nexit 1\n' > "$work/bin/ln"
chmod +x "$work/bin/ln"
chmod 700 "$work/nolinks"
PATH=$work/bin:$PATH OSTRANE_HOME=$work/nolinks sh "$launcher" >/dev/null 2>&1
check "a home without links is seeded" 'cmp -s "$work/nolinks/vdtinfo.mdb" "$shipped"'
check "nothing is left aside" '[ -z "$(ls -A "$work/nolinks" | grep -v "^vdtinfo.mdb$")" ]'

# A home that others may write gets nothing.
mkdir -m 770 "$work/shared"
output=$(OSTRANE_HOME=$work/shared sh "$launcher" 2>&1)
check "a shared home is not seeded" '[ ! -e "$work/shared/vdtinfo.mdb" ]'
check "a shared home is refused in words" 'echo "$output" | grep -q "belongs to another user or others may write it"'
check "the program still starts there" 'echo "$output" | grep -q "^ran in $work/shared"'

# A home that belongs to another user gets nothing (only root can make one).
if [ "$(id -u)" = 0 ]; then
    mkdir -m 700 "$work/theirs"
    chown 12345 "$work/theirs"
    OSTRANE_HOME=$work/theirs sh "$launcher" >/dev/null 2>&1
    check "another user's home is not seeded" '[ ! -e "$work/theirs/vdtinfo.mdb" ]'
fi

if [ "$failures" -ne 0 ]; then
    echo "0 passed, $failures failed"
    exit 1
fi
echo "launcher: all checks passed"
