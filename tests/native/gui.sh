#!/bin/sh
# Runs a Windows program of the build on a virtual display of its own.
#
#   gui.sh run <wine-run.sh> <program.exe> [args...]
#       the program's exit status; its windows live in a Wine virtual desktop
#       (800x600) on a fresh Xvfb display.
#   gui.sh screenshot <wine-run.sh> <editor.exe> <shot.png>
#       runs the editor example, takes a screenshot of the display while it
#       is up and checks that the menu-bar and toolbar areas the editor
#       reports are not blank.  Ends with "screenshot: ok".
set -eu
here=$(cd "$(dirname "$0")" && pwd)
action=$1 run=$2 program=$3
shift 3
name=$(basename "$program")
desktop="zuv$$"

# The program's windows go to a virtual desktop of their own (a per-program
# Wine setting), which works without a window manager.  ZUV_GUI_DESKTOP=0
# leaves them plain top-level windows: 32-bit Wine under qemu-user cannot
# run the virtual desktop (its explorer fails in X_CreateWindow and crashes).
prepare() {
    if [ "${ZUV_GUI_DESKTOP:-1}" = 0 ]; then
        "$run" reg delete "HKCU\\Software\\Wine\\AppDefaults\\$name" /f >/dev/null 2>&1 || true
        return
    fi
    "$run" reg add "HKCU\\Software\\Wine\\AppDefaults\\$name\\Explorer" /v Desktop /d "$desktop" /f >/dev/null 2>&1
    "$run" reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v "$desktop" /d 800x600 /f >/dev/null 2>&1
}

case "$action" in
run)
    prepare
    exec "$here/xvfb-run.sh" "$run" "$program" "$@"
    ;;
screenshot)
    command -v import >/dev/null 2>&1 || { echo "gui.sh: ImageMagick's import is not installed" >&2; exit 2; }
    shot=$1
    prepare
    log=$(mktemp)
    trap 'rm -f "$log"' EXIT
    "$here/xvfb-run.sh" sh -c '
        "$1" "$2" --check --open-menu --exit-after 6000 >"$3" 2>/dev/null &
        app=$!
        i=0
        while ! grep -q "^editor: toolbar" "$3" 2>/dev/null; do
            i=$((i + 1)); [ $i -le 300 ] || break
            kill -0 $app 2>/dev/null || break
            sleep 0.1
        done
        sleep 1.5
        import -window root "$4"
        wait $app' sh "$run" "$program" "$log" "$shot"
    cat "$log"
    grep -q "^editor: ok" "$log" || { echo "gui.sh: the editor did not report ok" >&2; exit 1; }
    for area in "menu bar" toolbar; do
        geometry=$(sed -n "s/^editor: $area //p" "$log" | tr -d '\r')
        [ -n "$geometry" ] || { echo "gui.sh: no $area geometry" >&2; exit 1; }
        colours=$(convert "$shot" -crop "$geometry" +repage -format %k info:)
        echo "screenshot: $area $geometry has $colours colours"
        [ "$colours" -ge 3 ] || { echo "gui.sh: the $area area is blank" >&2; exit 1; }
    done
    echo "screenshot: ok"
    ;;
*)
    echo "usage: gui.sh run|screenshot <wine-run.sh> <program> ..." >&2
    exit 2
    ;;
esac
