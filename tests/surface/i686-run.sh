#!/bin/sh
# Runs the i686 build's programs under 32-bit Wine.  This machine cannot
# execute i386 code itself: the 32-bit Wine loader runs through qemu-user
# (binfmt_misc), while the wineserver stays native.  Slow: creating the prefix
# takes about 12 minutes, each program start 2-3 minutes.
#
#   i686-run.sh install                          (root) Debian packages + binfmt entry
#   i686-run.sh start <prefix> <bin>             make/reuse the prefix, start the server,
#                                                register xchost.dll and zuvXCHandler.dll
#   i686-run.sh run <prefix> <bin> <program> [args...]
#   i686-run.sh stop <prefix> <bin>
set -eu
action=${1:-}
wine32=/usr/lib/wine/wine
binfmt=/proc/sys/fs/binfmt_misc

server() {
    # A native server serves the 32-bit clients of the same Wine release.
    if [ -n "${WINESERVER:-}" ]; then echo "$WINESERVER"
    elif [ -x /usr/lib/wine/wineserver64 ]; then echo /usr/lib/wine/wineserver64
    else echo /usr/lib/wine/wineserver
    fi
}

ready() {
    missing=""
    [ -x "$wine32" ] || missing="$missing wine32:i386"
    [ -x /usr/bin/qemu-i386-static ] || missing="$missing qemu-user-static"
    grep -qs '^enabled' "$binfmt/qemu-i386" || missing="$missing binfmt(qemu-i386)"
    if [ -n "$missing" ]; then
        echo "i686 run not possible, missing:$missing -- run 'sh $0 install' as root" >&2
        return 1
    fi
}

setup_env() {
    export WINEPREFIX="$1" WINEARCH=win32 WINEDEBUG=-all QEMU_RESERVED_VA=0x7fff0000 WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
    export WINEPATH="Z:$(echo "$2" | tr / '\\')"
    export WINESERVER
    WINESERVER=$(server)
}

case "$action" in
install)
    dpkg --add-architecture i386
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq qemu-user-static binfmt-support wine32:i386
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
    if ! grep -qs '^enabled' "$binfmt/qemu-i386"; then
        update-binfmts --import qemu-i386 >/dev/null 2>&1 || true
        update-binfmts --enable qemu-i386 >/dev/null 2>&1 || true
    fi
    if ! grep -qs '^enabled' "$binfmt/qemu-i386"; then
        # The entry qemu's own tooling writes for i386 ELF executables.
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            >"$binfmt/register"
    fi
    ready
    echo "i686 run prerequisites installed"
    ;;
start)
    ready
    setup_env "$2" "$3"
    if [ ! -f "$WINEPREFIX/.zuv-ready" ]; then
        echo "creating $WINEPREFIX (about 12 minutes)"
        "$wine32" wineboot -u </dev/null >/dev/null 2>&1
        "$WINESERVER" -w
        touch "$WINEPREFIX/.zuv-ready"
    fi
    # Detached from ctest's pipes, or ctest waits for it forever.
    "$WINESERVER" -p </dev/null >/dev/null 2>&1 &
    for dll in xchost.dll zuvXCHandler.dll; do
        "$wine32" regsvr32 /s "Z:$(echo "$3/$dll" | tr / '\\')" </dev/null
    done
    ;;
run)
    ready
    setup_env "$2" "$3"
    bin=$3 program=$4
    shift 4
    cd "$bin"
    exec "$wine32" "$bin/$program" "$@" </dev/null
    ;;
stop)
    setup_env "$2" "$3"
    "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: i686-run.sh install | start <prefix> <bin> | run <prefix> <bin> <program> [args] | stop <prefix> <bin>" >&2
    exit 2
    ;;
esac
