# SPDX-License-Identifier: GPL-3.0-or-later
# The wine test bed of the Windows build, sourced by scripts/test.sh and
# scripts/package.sh: a fresh wine prefix in a folder of the caller's, with
# a Chinese locale (code page 936), no window manager's waits, the drives the
# tests need pinned, a virtual display and a wine server kept running.
#
#     wine_testbed_start DIRECTORY   sets WINEPREFIX, DISPLAY, LANG, ... for the caller
#     wine_testbed_stop              ends the display and the wine server
#
# Drives, each a folder of DIRECTORY/drives, typed as the tests expect:
#     A:  a floppy drive (never listed by the pages, whatever it holds)
#     E:  a removable drive (listed; immunity is made and undone on it)
#     F:  a CD-ROM drive (not listed)

wine_testbed_start() {
    local directory
    directory=$(realpath -m "$1")
    rm -rf "$directory"
    mkdir -p "$directory/drives/a" "$directory/drives/e" "$directory/drives/f" "$directory/locale"

    # Wine takes its code page from the locale, which glibc must know; the
    # locale is compiled into the test bed, leaving the system's alone.
    localedef -i zh_CN -f UTF-8 "$directory/locale/zh_CN.UTF-8"
    unset LC_ALL LC_CTYPE LC_MESSAGES
    export LOCPATH=$directory/locale LANG=zh_CN.UTF-8 2> /dev/null
    export WINEPREFIX=$directory/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

    # A virtual display, on the first free number.
    local displayfile=$directory/display
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$displayfile" > /dev/null 2>&1 &
    WINE_TESTBED_XVFB=$!
    local waited=0
    until [ -s "$displayfile" ]; do
        sleep 0.1
        waited=$((waited + 1))
        [ "$waited" -lt 300 ] || { echo "wine test bed: Xvfb did not start" >&2; return 1; }
    done
    export DISPLAY=:$(cat "$displayfile")

    wineboot -i > /dev/null 2>&1
    # Without a window manager, hiding or closing a top-level window waits
    # for one that never answers; unmanaged windows do not.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f > /dev/null
    local letter type
    for drive in a:floppy e:floppy f:cdrom; do
        letter=${drive%%:*}
        type=${drive#*:}
        ln -sfn "$directory/drives/$letter" "$WINEPREFIX/dosdevices/$letter:"
        # The 64-bit view, which both halves of wine read.
        wine reg add 'HKLM\Software\Wine\Drives' /v "$letter:" /d "$type" /f /reg:64 > /dev/null
    done
    # The server reads the drive types when it starts; from now on one
    # server stays up between the test programs.
    wineserver -k
    wineserver -p
    wine cmd /c exit > /dev/null 2>&1
}

wine_testbed_stop() {
    wineserver -k 2> /dev/null || true
    [ -n "${WINE_TESTBED_XVFB:-}" ] && kill "$WINE_TESTBED_XVFB" 2> /dev/null || true
    WINE_TESTBED_XVFB=
}
