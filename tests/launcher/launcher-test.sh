#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The launcher: it seeds a machine home of the user's own with the shipped
# database, through a link or, where the file system has none, a rename that
# replaces nothing; a newer shipped database reaches a home that has one,
# the user's own signatures kept and those the user removed left out, and
# nothing is written when nothing is new; a database that cannot be read is
# left as it is, with a message; it seeds nothing into a home that others may
# write or that belongs to another user, and starts the program all the same.
#
#     launcher-test.sh LAUNCHER OSTRANE-SIGDB
set -u
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
sigdb=$2
# The launcher, with a shipped database of the test's own.
shipped=$work/shipped.mdb
sed "s|^shipped=.*|shipped='$shipped'|" "$1" > "$work/launcher"
launcher=$work/launcher
failures=0
check() {
    if ! eval "$2"; then
        echo "FAILED: $1" >&2
        failures=$((failures + 1))
    fi
}
# ostrane-sigdb for the test's own use, in a machine home of its own.
mkdir -m 700 "$work/tool-home"
tool() {
    OSTRANE_HOME=$work/tool-home "$sigdb" "$@"
}
# Makes the shipped database hold the signatures Shipped.N for each N.
ship() {
    rm -f "$shipped"
    printf 'VirName,VirType,VirMd5,VirCrc32\n' > "$work/shipped.csv"
    for n in "$@"; do
        printf 'Shipped.%s,test,%032x,%d\n' "$n" "$n" "$n" >> "$work/shipped.csv"
    done
    tool --db "$shipped" create && tool --db "$shipped" import "$work/shipped.csv" > /dev/null
}
# The names a database holds, in order, on one line.
names() {
    tool --db "$1" list | cut -f3 | sort | tr '\n' ' '
}

# A new home: made for the user alone, seeded, the program started in it.
ship 1 2
home=$work/new/ostrane
output=$(OSTRANE_HOME=$home sh "$launcher" 2>&1)
check "a new home is seeded" '[ "$(names "$home/vdtinfo.mdb")" = "Shipped.1 Shipped.2 " ]'
check "a new home is the user's alone" '[ "$(stat -c %a "$home")" = 700 ]'
check "the program runs in the home" '[ "$output" = "ran in $home with $home" ]'
check "nothing is left aside" '[ -z "$(ls -A "$home" | grep -v "^vdtinfo.mdb$")" ]'

# A newer package: its new signature arrives, the user's own stays, and the
# shipped one the user removed stays removed.
echo "a sample of the user's" > "$work/sample"
tool --db "$home/vdtinfo.mdb" add "$work/sample" Own.Sample own > /dev/null
tool --db "$home/vdtinfo.mdb" remove "$(printf %032x 1)" 1
ship 1 2 3
output=$(OSTRANE_HOME=$home sh "$launcher" 2>&1)
check "an upgrade brings the new signature and keeps the user's choices" \
    '[ "$(names "$home/vdtinfo.mdb")" = "Own.Sample Shipped.2 Shipped.3 " ]'
check "an upgrade is silent" '[ "$output" = "ran in $home with $home" ]'
# Nothing new: nothing is written.
cp "$home/vdtinfo.mdb" "$work/before.mdb"
OSTRANE_HOME=$home sh "$launcher" > /dev/null 2>&1
check "nothing new writes nothing" 'cmp -s "$home/vdtinfo.mdb" "$work/before.mdb"'
# A package without a signature takes none away.
ship 2
OSTRANE_HOME=$home sh "$launcher" > /dev/null 2>&1
check "no signature is lost" '[ "$(names "$home/vdtinfo.mdb")" = "Own.Sample Shipped.2 Shipped.3 " ]'

# A database that cannot be read is kept as it is, with a message.
echo mine > "$home/vdtinfo.mdb"
output=$(OSTRANE_HOME=$home sh "$launcher" 2>&1)
check "an unreadable database is kept" '[ "$(cat "$home/vdtinfo.mdb")" = mine ]'
check "an unreadable database is named" \
    'echo "$output" | grep -q "^ostrane-launcher: the signature database in $home is left as it is: vdtinfo.mdb is not a signature database"'
check "the program still starts" 'echo "$output" | grep -q "^ran in $home"'

# Without links, a rename seeds the home.
ship 1
mkdir -p "$work/bin" "$work/nolinks"
printf '#!/bin/sh\necho "ln: operation not permitted" >&2\nexit 1\n' > "$work/bin/ln"
chmod +x "$work/bin/ln"
chmod 700 "$work/nolinks"
PATH=$work/bin:$PATH OSTRANE_HOME=$work/nolinks sh "$launcher" >/dev/null 2>&1
check "a home without links is seeded" '[ "$(names "$work/nolinks/vdtinfo.mdb")" = "Shipped.1 " ]'
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
