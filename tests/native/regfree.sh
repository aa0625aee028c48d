#!/bin/sh
# regfree.sh <wine loader> <wineserver> <prefix> <editor.exe>
# Runs the editor example in a Wine prefix where nothing is registered: the
# component and the native command bars are found through the side-by-side
# manifests beside the program.  The same program copied away from its
# manifests must then fail with "class not registered".  Ends with
# "regfree: ok".
set -eu
here=$(cd "$(dirname "$0")" && pwd)
loader=$1 server=$2 prefix=$3 program=$4
mkdir -p "$prefix"
runner="$prefix.run.sh"
cat >"$runner" <<RUN
#!/bin/sh
export WINEPREFIX="$prefix"
export WINEDEBUG="\${WINEDEBUG:--all}"
export QEMU_RESERVED_VA=0x7fff0000
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
exec "$loader" "\$@"
RUN
chmod +x "$runner"
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
