#!/usr/bin/env bash
# Set-up, build and run in one step on a Debian machine.
#   tools/run.sh test    build everything and run every test (default run)
#   tools/run.sh demo    build and run the demo in the stand-in host
#   tools/run.sh editor  build and show the editor example (native command bars)
#   tools/run.sh screenshot  build, take the editor's screenshot into docs/
#   tools/run.sh bench   build and run the benchmark on x86_64 and i686
# Installs what is missing from Debian's packages first (needs root or sudo).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${ZUV_BUILD_DIR:-$here/build}
action=${1:-test}

packages=(cmake make python3 mingw-w64 mingw-w64-tools wine64 libwine-dev googletest wixl msitools xvfb imagemagick)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
# The i686 build's programs run under 32-bit Wine through qemu-user.  Before
# the first prefix is made: a 64-bit prefix builds its 32-bit side too.
i686_setup=$here/tools/i686-run.sh
if ! sh "$i686_setup" check 2>/dev/null; then
    echo "Installing what the i686 run needs (wine32:i386, qemu-user-static, binfmt_misc entry)"
    "${sudo_cmd[@]}" sh "$i686_setup" install >/dev/null || true
    sh "$i686_setup" check || exit 1
fi

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)"

case "$action" in
test)
    # Both architectures: the i686 tests carry the label i686.
    ctest --test-dir "$build" --output-on-failure -j2
    ;;
demo)
    "$build/demo.sh"
    ;;
editor)
    if [ -z "${DISPLAY:-}" ]; then
        echo "No display: start a virtual one and point DISPLAY at it, for example" >&2
        echo "    Xvfb :5 -screen 0 1024x768x24 &  export DISPLAY=:5" >&2
        echo "(then look at it with a VNC server such as x11vnc, or use: tools/run.sh screenshot)" >&2
        exit 2
    fi
    "$build/wine-run.sh" "$build/bin/zuv_editor.exe"
    ;;
screenshot)
    sh "$here/tests/native/gui.sh" screenshot "$build/wine-run.sh" "$build/bin/zuv_editor.exe" \
        "$build/editor-screenshot.png"
    mkdir -p "$here/docs"
    cp "$build/editor-screenshot.png" "$here/docs/editor.png"
    echo "docs/editor.png updated"
    ;;
bench)
    # Each architecture in its own build's prefix; the DLLs are registered
    # there first.  Extra arguments go to the benchmark (repetitions).
    shift
    for arch in x86_64 i686; do
        b=$build
        [ "$arch" = x86_64 ] || b=$build/i686
        if [ ! -x "$b/wine-run.sh" ]; then
            echo "== $arch: no build in $b, skipped"
            continue
        fi
        echo "== $arch"
        for dll in xchost.dll zuvXCHandler.dll; do
            "$b/wine-run.sh" regsvr32 /s "Z:$b/bin/$dll" </dev/null >/dev/null 2>&1
        done
        "$b/wine-run.sh" "$b/bin/zuv_bench.exe" "$@" 2>/dev/null
    done
    ;;
*)
    echo "usage: tools/run.sh test|demo|editor|screenshot|bench" >&2
    exit 2
    ;;
esac
