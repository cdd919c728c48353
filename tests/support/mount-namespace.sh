# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by a test script that mounts file systems: runs the script again
# in a mount namespace of its own, with a fresh /tmp, so that nothing it
# mounts is seen outside and nothing another test mounted is seen inside;
# ends it as skipped (77) where no such namespace can be made. Gives the
# script check DESCRIPTION CONDITION and finish NAME.
if [ "${OSTRANE_IN_NAMESPACE:-}" != 1 ]; then
    if ! unshare --mount --propagation private true 2>/dev/null; then
        echo "no mount namespace can be made here: skipped"
        exit 77
    fi
    OSTRANE_IN_NAMESPACE=1 exec unshare --mount --propagation private sh "$0" "$@"
fi
# The fresh /tmp would hide a source or build tree that lies in /tmp: the
# top folder in /tmp of the script and of each file it is given is bound
# back, reached through a descriptor of the old /tmp.
exec 9< /tmp
mount -t tmpfs ostrane-test /tmp || exit 77
for path in "$0" "$@"; do
    case $path in
    /tmp/?*)
        top=${path#/tmp/}
        top=${top%%/*}
        [ -e "/tmp/$top" ] && continue
        if [ -d "/proc/self/fd/9/$top" ]; then mkdir "/tmp/$top"; else touch "/tmp/$top"; fi
        mount --no-canonicalize --bind "/proc/self/fd/9/$top" "/tmp/$top" || exit 77
        ;;
    esac
done
exec 9<&-

failures=0
check() {
    if ! eval "$2"; then
        echo "FAILED: $1" >&2
        failures=$((failures + 1))
    fi
}
finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$1: $failures failed"
        exit 1
    fi
    echo "$1: all checks passed"
    exit 0
}
