#!/bin/sh
# What the i686 test run needs on this machine, which cannot execute i386
# code itself: 32-bit Wine (wine32:i386), whose loader qemu-user executes
# through a binfmt_misc entry for i386 ELF programs (the wineserver stays
# native).  Everything else is common to both architectures: the build's
# wine-run.sh and cmake/wine-env.sh.
#
#   i686-run.sh check      one line naming what is missing, and a failure, unless all is there
#   i686-run.sh install    (root) the Debian packages and the binfmt entry, then check
set -eu
wine32=/usr/lib/wine/wine
binfmt=/proc/sys/fs/binfmt_misc

check() {
    missing=""
    [ -x "$wine32" ] || missing="$missing wine32:i386"
    [ -x /usr/bin/qemu-i386-static ] || missing="$missing qemu-user-static"
    grep -qs '^enabled' "$binfmt/qemu-i386" || missing="$missing binfmt_misc(qemu-i386)"
    if [ -n "$missing" ]; then
        echo "i686: this machine cannot run 32-bit programs, missing:$missing" \
             "(as root: sh $0 install; or configure with -DZUV_I686_RUN=OFF)" >&2
        return 1
    fi
}

case "${1:-}" in
check)
    check
    ;;
install)
    dpkg --add-architecture i386
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq qemu-user-static binfmt-support wine32:i386
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" || true
    if ! grep -qs '^enabled' "$binfmt/qemu-i386"; then
        update-binfmts --import qemu-i386 >/dev/null 2>&1 || true
        update-binfmts --enable qemu-i386 >/dev/null 2>&1 || true
    fi
    if [ -e "$binfmt/register" ] && ! grep -qs '^enabled' "$binfmt/qemu-i386"; then
        # The entry qemu's own tooling writes for i386 ELF executables.
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            >"$binfmt/register" || true
    fi
    check
    ;;
*)
    echo "usage: i686-run.sh check | install" >&2
    exit 2
    ;;
esac
