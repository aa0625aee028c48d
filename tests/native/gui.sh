#!/bin/sh
# Windows programs of the build on a virtual display of their own (an Xvfb
# on a display it picks itself, stopped however the program ends).
#   gui.sh run <wine-run.sh> <program.exe> [args...]: the program's exit
#       status; its windows in a Wine virtual desktop (800x600).
#   gui.sh screenshot <wine-run.sh> <editor.exe> <shot.png>: the editor
#       example's screenshot, whose menu-bar and toolbar areas (as the editor
#       reports them) must not be blank; ends with "screenshot: ok".
#   gui.sh regfree <wine> <wineserver> <prefix> <win64|win32> <program.exe> [args...]:
#       the program in a prefix where nothing is registered (made on first
#       use), the classes found through the manifests beside it.  The editor
#       example must show its window, and fail with "class not registered"
#       once copied away from them; ends with "regfree: ok".
#   gui.sh script <wine-run.sh> <bin dir> <script>: registers the native
#       command bars (the fixture registers the rest) and runs a script example.
set -eu
action=$1
shift

on_display() {
    command -v Xvfb >/dev/null 2>&1 || { echo "gui.sh: Xvfb is not installed (Debian package xvfb)" >&2; exit 2; }
    # Xvfb picks the display itself and writes its number back: it takes the
    # display's lock file atomically, so runs from other build trees at the
    # same time never end up sharing (and stopping) one display.
    number=$(mktemp)
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$number" </dev/null >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -f "$number"' EXIT INT TERM
    i=0
    while ! grep -q . "$number"; do
        i=$((i + 1))
        if [ $i -gt 100 ] || ! kill -0 "$xvfb" 2>/dev/null; then echo "gui.sh: Xvfb did not start" >&2; exit 2; fi
        sleep 0.1
    done
    n=$(head -n 1 "$number")
    status=0
    DISPLAY=":$n" "$@" || status=$?
    return $status
}

# The program's windows go to a virtual desktop of their own (a per-program
# Wine setting), which works without a window manager.  ZUV_GUI_DESKTOP=0
# leaves them plain top-level windows: 32-bit Wine under qemu-user cannot
# run the virtual desktop (its explorer fails in X_CreateWindow and crashes).
prepare() {   # <wine-run.sh> <program>
    name=$(basename "$2") desktop="zuv$$"
    if [ "${ZUV_GUI_DESKTOP:-1}" = 0 ]; then
        "$1" reg delete "HKCU\\Software\\Wine\\AppDefaults\\$name" /f >/dev/null 2>&1 || true
        return
    fi
    "$1" reg add "HKCU\\Software\\Wine\\AppDefaults\\$name\\Explorer" /v Desktop /d "$desktop" /f >/dev/null 2>&1
    "$1" reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v "$desktop" /d 800x600 /f >/dev/null 2>&1
}
run() { prepare "$1" "$2" && (on_display "$@"); }

case "$action" in
run)
    run "$@"
    ;;
screenshot)
    command -v import >/dev/null 2>&1 || { echo "gui.sh: ImageMagick's import is not installed" >&2; exit 2; }
    runner=$1 program=$2 shot=$3 log=$3.log
    prepare "$runner" "$program"
    on_display sh -c '
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
        wait $app' sh "$runner" "$program" "$log" "$shot" || true
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
regfree)
    loader=$1 server=$2 prefix=$3 arch=$4 program=$5
    shift 5
    mkdir -p "$prefix"
    runner="$prefix.run.sh"
    cat >"$runner" <<RUN
#!/bin/sh
export WINEPREFIX="$prefix" WINEARCH=$arch WINESERVER="$server" WINEDEBUG="\${WINEDEBUG:--all}"
export QEMU_RESERVED_VA=0x7fff0000 WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
exec "$loader" "\$@"
RUN
    chmod +x "$runner"
    [ "$arch" != win32 ] || export ZUV_GUI_DESKTOP=0   # see prepare
    trap 'WINEPREFIX="$prefix" "$server" -k >/dev/null 2>&1 || true' EXIT
    [ -f "$prefix/.zuv-ready" ] ||
        sh "$(dirname "$0")/../../tools/wine-prefix.sh" "$runner" "$prefix" "$prefix/.zuv-ready" >/dev/null 2>&1
    # Wine's background processes start here, away from the program's output:
    # under qemu they now and then crash on their own ("wine: Unhandled" in
    # a service), which must not read as a crash of the program.  The server
    # detaches itself once it accepts clients (see tests/wine-fixture.sh).
    WINEPREFIX="$prefix" "$server" -p </dev/null >/dev/null 2>&1 || true
    "$runner" wineboot </dev/null >/dev/null 2>&1 || true
    for clsid in 5DF0B27A-E1CB-40BC-B521-12E1805C0CE3 C515299E-71BF-4E8E-8E6A-41CDA1C55812; do
        if "$runner" reg query "HKCR\\CLSID\\{$clsid}" </dev/null >/dev/null 2>&1; then
            echo "regfree: {$clsid} is registered in $prefix: not a clean prefix" >&2
            exit 1
        fi
    done
    [ "$(basename "$program")" = zuv_editor.exe ] || { run "$runner" "$program" "$@"; exit $?; }
    out=$(run "$runner" "$program" --check --exit-after 1500 2>/dev/null | tr -d '\r')
    echo "$out"
    echo "$out" | grep -q "^editor: ok" || { echo "regfree: the editor did not run through its manifests" >&2; exit 1; }
    # Without the manifests the classes are not there (REGDB_E_CLASSNOTREG).
    alone=$(mktemp -d)
    cp "$program" "$alone/"
    out=$(run "$runner" "$alone/$(basename "$program")" --check 2>/dev/null | tr -d '\r' || true)
    rm -rf "$alone"
    echo "without manifests: $out"
    echo "$out" | grep -q "error -2147221164" || { echo "regfree: expected class-not-registered without manifests" >&2; exit 1; }
    echo "regfree: ok"
    ;;
script)
    "$1" regsvr32 /s "Z:$2/zuvNativeBars.dll" </dev/null
    exec "$1" cscript //nologo "Z:$3" </dev/null
    ;;
*)
    echo "usage: gui.sh run|screenshot|regfree|script ..." >&2
    exit 2
    ;;
esac
