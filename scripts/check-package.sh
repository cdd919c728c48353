#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package that scripts/package.sh made, on this machine, as
# root: lintian finds no error in it and, pedantic, no binary built without
# Debian's hardening; it installs with apt, its desktop entry (with its
# action for a mounted Windows installation) and AppStream metadata
# validate, the program starts as the desktop entry starts it (offscreen) in
# a machine home seeded with the shipped signature database, in which
# ostrane-scan finds the shipped test file; a newer package that ships one
# more signature reaches that home without losing the user's own; its
# manual pages render, and removing it leaves none of its files.
#
#     scripts/check-package.sh [PACKAGE.deb]     (default: build/package/ostrane_*.deb)
#
#     scripts/check-package.sh --windows
#         checks the Windows installer that scripts/package.sh --windows made
#         (the 32-bit one where this machine runs 32-bit programs, otherwise
#         the 64-bit one) under wine: a silent install into a folder of its
#         choosing, the programs, database, test file, Start-menu entry and
#         uninstall entry in place, ostrane-scan.exe finding the shipped test
#         file with the shipped database, and a silent uninstall that leaves
#         the machine's files and registry as they were before.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
    echo "check-package: $*" >&2
    exit 1
}

if [ "${1:-}" = "--windows" ]; then
    scripts/install-deps.sh --windows
    version=$(sed -n 's/^project(Ostrane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    setup=build/package/ostrane-setup-$version-x64.exe
    if scripts/runs-32bit.sh; then
        setup=build/package/ostrane-setup-$version.exe
    fi
    [ -f "$setup" ] || fail "no installer $setup: run scripts/package.sh --windows first"
    setup=$(realpath "$setup")
    . scripts/wine-testbed.sh
    work=$(realpath -m build/package-check-windows)
    trap wine_testbed_stop EXIT
    wine_testbed_start "$work"
    drive_c=$WINEPREFIX/drive_c

    # The machine as it was: its files (but for the temporary folders) and
    # its registry.
    snapshot() {
        (cd "$drive_c" && find . -path './users/*/Temp' -prune -o -path './windows/temp' -prune -o -print | sort)
        for hive in HKLM HKCU; do
            wine reg export "$hive\\Software" "C:\\windows\\temp\\$hive.reg" /y /reg:64 > /dev/null
            iconv -f UTF-16LE -t UTF-8 "$drive_c/windows/temp/$hive.reg"
        done
    }
    snapshot > "$work/before"

    echo "== silent install of $(basename "$setup")"
    # NSIS takes the folder after /D= unquoted, as the last parameter.
    directory='C:\Ostrane'
    wine "$setup" /S "/D=$directory" || fail "the installer failed"
    installed=$drive_c/Ostrane
    for file in ostrane.exe ostrane-scan.exe ostrane-sigdb.exe vdtinfo.mdb ostrane-test-virus.exe uninstall.exe; do
        [ -f "$installed/$file" ] || fail "$file is not installed"
    done
    [ -f "$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Ostrane/Ostrane.lnk" ] || fail "no Start-menu entry"
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ostrane' /reg:64 > /dev/null ||
        fail "no uninstall entry"

    echo "== the installed scanner finds the shipped test file"
    cp "$installed/ostrane-test-virus.exe" "$work/drives/e/setup.exe"
    status=0
    output=$(cd "$installed" && wine ostrane-scan.exe 'E:\') || status=$?
    echo "$output"
    [ "$status" -eq 1 ] && printf '%s\n' "$output" | grep -qF $'E:\\setup.exe\tOstrane.TestVirus\t' ||
        fail "ostrane-scan.exe did not find the test file (status $status)"

    echo "== silent uninstall"
    wine "$directory\\uninstall.exe" /S || fail "the uninstaller failed"
    # The uninstaller works from a copy of itself, which ends on its own.
    for _ in $(seq 100); do
        [ -e "$installed" ] || break
        sleep 0.2
    done
    [ ! -e "$installed" ] || fail "the installation folder is still there"
    snapshot > "$work/after"
    diff -u "$work/before" "$work/after" || fail "the uninstall left the files or registry above behind"
    echo "check-package: the Windows installer installs, works and uninstalls cleanly"
    exit
fi

[ "$(id -u)" -eq 0 ] || fail "installing the package needs root"
if [ $# -gt 0 ]; then
    deb=$(realpath -- "$1")
else
    debs=(build/package/ostrane_*.deb)
    [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package in build/package/, found: ${debs[*]}"
    deb=$(realpath -- "${debs[0]}")
fi
scripts/install-deps.sh --package

work=$(mktemp -d)
launched=
cleanup() {
    [ -n "$launched" ] && kill "$launched" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

echo "== lintian"
lintian --pedantic --fail-on error "$deb" | tee "$work/lintian" || fail "lintian reports errors"
! grep -q "hardening-" "$work/lintian" || fail "lintian finds binaries built without Debian's hardening"

echo "== install"
if dpkg-query -W -f='${Status}' ostrane 2>/dev/null | grep -q "install ok installed"; then
    echo "(an installed ostrane is removed first)"
    apt-get remove --purge -y ostrane > /dev/null
fi
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb"
dpkg-query -L ostrane | sort > "$work/installed"
for program in ostrane ostrane-reg ostrane-scan ostrane-sigdb; do
    [ -x "/usr/bin/$program" ] || fail "/usr/bin/$program is not installed"
done

echo "== desktop entry and AppStream metadata"
entry=/usr/share/applications/org.ostrane.Ostrane.desktop
metainfo=/usr/share/metainfo/org.ostrane.Ostrane.metainfo.xml
desktop-file-validate "$entry"
appstreamcli validate --no-net "$metainfo"
# The Exec line of a group of the entry, without field codes.
exec_of() {
    sed -n "/^\[$1\]/,/^\[/s/^Exec=//p" "$entry" | sed 's/ *%[a-zA-Z]//g'
}
exec_line=$(exec_of "Desktop Entry")
[ -n "$exec_line" ] || fail "the desktop entry has no Exec line"
[ "$(exec_of "Desktop Action repair-windows")" = "$exec_line --windows auto" ] ||
    fail "the desktop entry's action does not start the program with --windows auto"
for size in 16 24 32 48 64 128 256; do
    [ -f "/usr/share/icons/hicolor/${size}x${size}/apps/org.ostrane.Ostrane.png" ] || fail "no ${size}x${size} icon"
done

echo "== start as the desktop entry does"
user_home=$work/user
machine_home=$user_home/.local/share/ostrane
mkdir -p "$user_home"
# Starts the entry's command from the user's home, as a desktop session does;
# waits until the USB tools page has read the machine (its Windows directory
# is seeded then) and checks the program still runs after two seconds more.
start_from_entry() {
    (cd "$user_home" && exec env -u OSTRANE_HOME -u XDG_DATA_HOME HOME="$user_home" QT_QPA_PLATFORM=offscreen \
        $exec_line > "$work/program.log" 2>&1) &
    launched=$!
    for _ in $(seq 100); do
        [ -f "$machine_home/Windows/inf/usbstor.inf" ] && break
        kill -0 "$launched" 2>/dev/null || break
        sleep 0.2
    done
    sleep 2
    if ! kill -0 "$launched" 2>/dev/null || [ ! -f "$machine_home/Windows/inf/usbstor.inf" ]; then
        cat "$work/program.log" >&2
        fail "the program did not come up from the desktop entry"
    fi
    [ "$(readlink "/proc/$launched/exe")" = /usr/bin/ostrane ] || fail "the entry runs $(readlink "/proc/$launched/exe")"
    [ "$(readlink "/proc/$launched/cwd")" = "$machine_home" ] || fail "the program runs in $(readlink "/proc/$launched/cwd")"
    kill "$launched"
    wait "$launched" 2>/dev/null || true
    launched=
}
# A tool run as the user runs it, in the machine home.
as_user() {
    (cd "$machine_home" && env -u OSTRANE_HOME -u XDG_DATA_HOME HOME="$user_home" "$@")
}
# The signature names a database lists, sorted, on one line.
signatures() {
    as_user ostrane-sigdb --db "$1" list | cut -f3 | sort | tr '\n' ' '
}
# Scans the stick in the machine home; what it found, sorted, on one line.
scan_stick() {
    status=0
    found=$(as_user ostrane-scan "$work/stick") || status=$?
    [ "$status" -eq 1 ] || fail "ostrane-scan in the machine home finds nothing (status $status)"
    echo "$found" | cut -f2 | sort | tr '\n' ' '
}
start_from_entry
[ "$(signatures vdtinfo.mdb)" = "$(signatures /usr/share/ostrane/vdtinfo.mdb)" ] ||
    fail "the machine home is not seeded with the shipped database"
ls "$machine_home"/.vdtinfo.mdb.* > /dev/null 2>&1 && fail "a copy was left aside in the machine home"
# The seeded database knows the shipped test file.
mkdir "$work/stick"
cp /usr/share/ostrane/ostrane-test-virus.exe "$work/stick/setup.exe"
[ "$(scan_stick)" = "Ostrane.TestVirus " ] || fail "ostrane-scan in the machine home does not find the test file"
echo "ostrane-scan in the machine home finds the test file"

echo "== upgrade"
# Two more harmless executables: the test file with bytes of its own after
# it. The user adds a signature of their own for one.
cp "$work/stick/setup.exe" "$work/stick/own.exe"
printf 'the user'"'"'s own' >> "$work/stick/own.exe"
cp "$work/stick/setup.exe" "$work/stick/newer.exe"
printf 'a newer package' >> "$work/stick/newer.exe"
as_user ostrane-sigdb add "$work/stick/own.exe" Own.Sample own > /dev/null
# A newer package: this one, repacked with a later version and a shipped
# database that knows one more file.
repacked=$work/repacked
dpkg-deb -R "$deb" "$repacked"
version=$(sed -n 's/^Version: //p' "$repacked/DEBIAN/control")
sed -i "s/^Version: .*/Version: $version+1/" "$repacked/DEBIAN/control"
as_user ostrane-sigdb --db "$repacked/usr/share/ostrane/vdtinfo.mdb" add "$work/stick/newer.exe" Ostrane.Newer test \
    > /dev/null
(cd "$repacked" && md5sum usr/share/ostrane/vdtinfo.mdb) > "$work/md5sum"
grep -v " usr/share/ostrane/vdtinfo.mdb$" "$repacked/DEBIAN/md5sums" >> "$work/md5sum"
sort -k2 "$work/md5sum" > "$repacked/DEBIAN/md5sums"
dpkg-deb --root-owner-group -b "$repacked" "$work/ostrane_upgrade.deb" > /dev/null
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$work/ostrane_upgrade.deb" > /dev/null
[ "$(dpkg-query -W -f='${Version}' ostrane)" = "$version+1" ] || fail "the newer package did not install"
start_from_entry
found=$(scan_stick)
[ "$found" = "Ostrane.Newer Ostrane.TestVirus Own.Sample " ] ||
    fail "after the upgrade the machine home's database knows: $found"
echo "after the upgrade, ostrane-scan in the machine home finds: $found"

# A database that cannot be read is never replaced, and the launcher says so.
echo "the user's own" > "$machine_home/vdtinfo.mdb"
start_from_entry
[ "$(cat "$machine_home/vdtinfo.mdb")" = "the user's own" ] || fail "the user's own vdtinfo.mdb was replaced"
grep -q "^ostrane-launcher: the signature database in $machine_home is left as it is" "$work/program.log" ||
    fail "the launcher does not say that the database is left as it is"
echo "started from the entry three times, in $machine_home"

echo "== manual pages"
for page in ostrane ostrane-reg ostrane-scan ostrane-sigdb; do
    file=/usr/share/man/man1/$page.1.gz
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$file" 2>&1 > "$work/$page.txt")
    [ -z "$warnings" ] || fail "$file: $warnings"
    grep -q "^NAME" "$work/$page.txt" || fail "$file renders no NAME section"
    echo "$page(1): $(wc -l < "$work/$page.txt") lines"
done

echo "== remove"
apt-get remove --purge -y ostrane > /dev/null
dpkg-query -W ostrane > /dev/null 2>&1 && fail "ostrane is still known to dpkg"
left=()
while read -r path; do
    if [ -e "$path" ] && ! [ -d "$path" ]; then
        left+=("$path")
    fi
done < "$work/installed"
for dir in /usr/share/ostrane /usr/libexec/ostrane /usr/share/doc/ostrane; do
    [ -e "$dir" ] && left+=("$dir")
done
[ ${#left[@]} -eq 0 ] || fail "left after removal: ${left[*]}"
echo "check-package: all checks passed for $(basename "$deb")"
