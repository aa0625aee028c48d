#!/bin/sh
# regfree.sh <wine loader> <wineserver> <prefix> <win64|win32> <program.exe> [args...]
# Runs a program of the build in a Wine prefix where nothing is registered:
# the component and the native command bars are found through the
# side-by-side manifests beside the program.  The prefix is made on first use.
#
# For the editor example: checks the window it shows ("editor: ok"), then
# that the same program copied away from its manifests fails with "class not
# registered"; ends with "regfree: ok".  Any other program: its exit status.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
loader=$1 server=$2 prefix=$3 arch=$4 program=$5
shift 5
mkdir -p "$prefix"
runner="$prefix.run.sh"
cat >"$runner" <<RUN
#!/bin/sh
export WINEPREFIX="$prefix"
export WINEARCH=$arch
export WINESERVER="$server"
export WINEDEBUG="\${WINEDEBUG:--all}"
export QEMU_RESERVED_VA=0x7fff0000
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
exec "$loader" "\$@"
RUN
chmod +x "$runner"
# 32-bit Wine under qemu-user: plain top-level windows (see gui.sh).
[ "$arch" != win32 ] || export ZUV_GUI_DESKTOP=0
trap 'WINEPREFIX="$prefix" "$server" -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$prefix/.zuv-ready" ]; then
    "$runner" wineboot -u </dev/null >/dev/null 2>&1
    touch "$prefix/.zuv-ready"
fi

for clsid in 5DF0B27A-E1CB-40BC-B521-12E1805C0CE3 C515299E-71BF-4E8E-8E6A-41CDA1C55812; do
    if "$runner" reg query "HKCR\\CLSID\\{$clsid}" </dev/null >/dev/null 2>&1; then
        echo "regfree: {$clsid} is registered in $prefix: not a clean prefix" >&2
        exit 1
    fi
done

if [ "$(basename "$program")" != zuv_editor.exe ]; then
    sh "$here/gui.sh" run "$runner" "$program" "$@"
    exit $?
fi

out=$(sh "$here/gui.sh" run "$runner" "$program" --check --exit-after 1500 2>/dev/null | tr -d '\r')
echo "$out"
echo "$out" | grep -q "^editor: ok" || { echo "regfree: the editor did not run through its manifests" >&2; exit 1; }

# Without the manifests the classes are not there (REGDB_E_CLASSNOTREG).
alone=$(mktemp -d)
cp "$program" "$alone/"
out=$(sh "$here/gui.sh" run "$runner" "$alone/$(basename "$program")" --check 2>/dev/null | tr -d '\r' || true)
rm -rf "$alone"
echo "without manifests: $out"
echo "$out" | grep -q "error -2147221164" || { echo "regfree: expected class-not-registered without manifests" >&2; exit 1; }
echo "regfree: ok"
