#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds SQLCipher for Windows with mingw-w64, from Debian's source packages:
# LibTomCrypt for its cryptography, and SQLCipher's amalgamation compiled to
# use it. Debian ships neither built for mingw. The result goes to PREFIX
# (include/sqlite3.h, lib/libsqlcipher.a, lib/libtomcrypt.a) and is kept
# there: a PREFIX that holds both libraries is taken as it is.
#
#     scripts/build-windows-sqlcipher.sh TRIPLET PREFIX
#
# The sources come through a private copy of this machine's own Debian
# sources with source packages enabled, so the system's apt configuration
# stays as it is.
set -euo pipefail

triplet=$1
prefix=$2
[ -f "$prefix/lib/libsqlcipher.a" ] && [ -f "$prefix/lib/libtomcrypt.a" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/src"

# The release's own Debian sources, as source-package entries. Entries of
# other suites (third-party archives) are left out.
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    awk -v codename="$codename" '$1 == "deb" && $3 ~ "^" codename "(-|$)" { $1 = "deb-src"; print }' "$file"
done > "$work/apt/sources.list"
for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    awk -v codename="$codename" -v RS= -v ORS='\n\n' '
        $0 ~ "Suites:[^\n]*" codename && $0 ~ /Types:[^\n]*deb/ {
            sub(/Types:[^\n]*/, "Types: deb-src"); print
        }' "$file"
done > "$work/apt/sources.list.d.sources"
mkdir -p "$work/apt/parts"
mv "$work/apt/sources.list.d.sources" "$work/apt/parts/debian.sources"

# Each step's output goes to a log, shown only when the step fails.
quietly() {
    "$@" > "$work/log" 2>&1 || { cat "$work/log" >&2; echo "build-windows-sqlcipher: failed: $*" >&2; return 1; }
}

apt=(-o "Dir::Etc::SourceList=$work/apt/sources.list" -o "Dir::Etc::SourceParts=$work/apt/parts"
     -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache" -o "Debug::NoLocking=1"
     -o "APT::Sandbox::User=root" -qq)
quietly apt-get "${apt[@]}" update
(cd "$work/src" && quietly apt-get "${apt[@]}" source sqlcipher libtomcrypt)

tomcrypt=$(find "$work/src" -maxdepth 1 -type d -name 'libtomcrypt-*' | head -n 1)
sqlcipher=$(find "$work/src" -maxdepth 1 -type d -name 'sqlcipher-*' | head -n 1)
[ -n "$tomcrypt" ] && [ -n "$sqlcipher" ] || { echo "build-windows-sqlcipher: the sources did not unpack" >&2; exit 1; }

quietly make -C "$tomcrypt" -f makefile -j2 CC="$triplet-gcc-posix -w" AR="$triplet-ar" \
    RANLIB="$triplet-ranlib" libtomcrypt.a

# The amalgamation is made on this machine (it needs tclsh) and compiled for
# Windows, with the column metadata that recordsets use to write back.
(cd "$sqlcipher" && quietly ./configure && quietly make sqlite3.c)
quietly "$triplet-gcc-posix" -O2 -w -c "$sqlcipher/sqlite3.c" -o "$work/sqlite3.o" -I "$tomcrypt/src/headers" \
    -DSQLITE_HAS_CODEC -DSQLCIPHER_CRYPTO_LIBTOMCRYPT -DSQLITE_TEMP_STORE=2 -DSQLITE_THREADSAFE=1 \
    -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_OMIT_LOAD_EXTENSION

mkdir -p "$prefix/include" "$prefix/lib"
"$triplet-ar" rcs "$work/libsqlcipher.a" "$work/sqlite3.o"
cp "$sqlcipher/sqlite3.h" "$prefix/include/sqlite3.h"
cp "$tomcrypt/libtomcrypt.a" "$prefix/lib/libtomcrypt.a"
# The library last: its presence says the build is whole.
cp "$work/libsqlcipher.a" "$prefix/lib/libsqlcipher.a"
