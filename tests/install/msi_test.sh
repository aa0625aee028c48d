#!/bin/sh
# msi_test.sh <case> <build dir> <source dir>
# The installers under Wine, in a prefix of their own (<build>/installprefix,
# made on first use with the stand-in host registered for both
# architectures; the component itself is never left registered there).
#   prefix          make the prefix (first use only) and register xchost.dll
#   compare-x64|x86 what msiexec /i writes equals what regsvr32 writes
#   lifecycle       install, use, install the other architecture beside it,
#                   repair, remove one, remove both
#   upgrade-x64|x86 a higher version replaces the installed one
#   regfree         the release package's DLLs and manifest, unregistered,
#                   used through a program's manifest (both architectures)
# Every case but prefix ends with the registry exactly as it found it.
# Prints one line per step and PASS at the end when every step held.
set -u
case=$1 build=$2 src=$3
wine64=/usr/lib/wine/wine64 wine32=/usr/lib/wine/wine
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=/usr/lib/wine/wineserver
export WINEPREFIX="$build/installprefix" WINEDEBUG=-all QEMU_RESERVED_VA=0x7fff0000
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" WINESERVER="$server"
version=$(sed -n 's/^project(zuvXCHandler VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
work=$build/installwork/$case
rm -rf "$work"
mkdir -p "$work"
failures=0
# The host's script runs with the shared checks joined in front of it, as
# zuv_add_script_test runs the other scripts; both architectures read it.
cat "$src/tests/support/check.vbs" "$src/tests/install/use_component.vbs" >"$work/use_component.vbs"

winpath() { echo "Z:$1" | tr / '\\'; }
msi() { winpath "$build/installer/zuvXCHandler-$version-$1.msi"; }
# An architecture's loader, bitness, build output and install folder.
arch() {
    if [ "$1" = x64 ]; then loader=$wine64 bits=64 bin=$build/bin dir='C:\Program Files\zuvXCHandler'
    else loader=$wine32 bits=32 bin=$build/i686/bin dir='C:\Program Files (x86)\zuvXCHandler'; fi
}
unixdir() { arch "$1" && "$wine64" winepath -u "$dir" 2>/dev/null; }
install() { "$wine64" msiexec /i "$@" /qn; }
uninstall() { "$wine64" msiexec /x "$@" /qn; }

step() {
    desc=$1
    shift
    if "$@" </dev/null >"$work/step.log" 2>&1; then
        echo "ok: $desc"
    else
        echo "FAIL: $desc"
        grep -v '^qemu: uncaught target signal' "$work/step.log" | head -40
        failures=$((failures + 1))
    fi
}

export_classes() {
    rm -f "$work/$1.reg"
    "$wine64" regedit /E "$(winpath "$work/$1.reg")" 'HKEY_LOCAL_MACHINE\Software\Classes' </dev/null &&
        iconv -f UTF-16 -t UTF-8 "$work/$1.reg" >"$work/$1.txt"
}
regdiff() { python3 "$src/tests/install/regdiff.py" "$@"; }

# use <arch> [program]: a script of that architecture (cscript, or a copy of
# it) creates the classes by ProgID and renders into the stand-in host.
use() {
    arch "$1"
    out=$("$loader" "${2:-cscript}" //nologo "$(winpath "$work/use_component.vbs")" 2>&1 </dev/null)
    echo "$out"
    [ "$(echo "$out" | tr -d '\r' | grep -v '^qemu: ' | tail -n 1)" = PASS ]
}
unusable() { ! use "$1"; }
installed() { [ -f "$(unixdir "$1")/zuvXCHandler.dll" ]; }
absent() { [ ! -e "$(unixdir "$1")" ]; }
# The type library: its platform key in the view of that architecture, and
# its version key, which both packages share.
typelib=HKCR\\TypeLib\\{E6E8AD39-7197-493C-AB54-FF584058D9BF}\\1.1
typelib_key() { arch "$1" && "$wine64" reg query "$typelib\\409\\win$bits" /reg:$bits; }
typelib_shared() { "$wine64" reg query "$typelib" /ve | grep -q 'Command Bar Handler'; }
# one_product <arch> <versions>: the installed products of that architecture.
one_product() {
    arch "$1"
    found=$(for key in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
        'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'; do
        "$wine64" reg query "$key" /s 2>/dev/null
    done | tr -d '\r' | awk -v want="zuvXCHandler ($bits-bit)" '
        /^HKEY/ { name = ""; version = "" }
        /DisplayName/ { sub(/.*REG_SZ +/, ""); name = $0 }
        /DisplayVersion/ { sub(/.*REG_SZ +/, ""); version = $0 }
        name == want && version != "" { printf "%s%s", sep, version; sep = " "; name = "" }')
    echo "installed: [$found]"
    [ "$found" = "$2" ]
}

if [ ! -x "$wine32" ] || ! grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
    echo "32-bit Wine is missing (wine32:i386 run by qemu-user-static): sh tools/i686-run.sh install" >&2
    exit 1
fi
"$server" -k >/dev/null 2>&1 || true
if [ "$case" = prefix ] && [ ! -f "$WINEPREFIX/.zuv-ready" ]; then
    echo "creating $WINEPREFIX"
    "$wine64" wineboot -u </dev/null >/dev/null 2>&1
    "$server" -w
    touch "$WINEPREFIX/.zuv-ready"
fi
"$server" -p </dev/null >/dev/null 2>&1 &
trap '"$server" -k >/dev/null 2>&1' EXIT
[ "$case" = prefix ] || step "export before" export_classes before

case "$case" in
prefix)
    # The script hosts register Wine's own script libraries on first use:
    # done here, before any test takes its "before" picture.
    echo 'WScript.Echo "PASS"' >"$work/warm.vbs"
    for a in x64 x86; do
        arch $a
        step "register the stand-in host ($a)" "$loader" regsvr32 /s "$(winpath "$bin/xchost.dll")"
        step "script host ($a)" "$loader" cscript //nologo "$(winpath "$work/warm.vbs")"
    done
    ;;
compare-x64 | compare-x86)
    a=${case#compare-}
    step "msiexec /i ($a)" install "$(msi $a)"
    step "export after msiexec" export_classes msi
    step "msiexec /x ($a)" uninstall "$(msi $a)"
    # The same file at the same place, registered by itself.
    arch $a
    target=$(unixdir $a)
    mkdir -p "$target"
    cp "$bin/zuvXCHandler.dll" "$target/"
    step "regsvr32 ($a)" "$loader" regsvr32 /s "$dir\\zuvXCHandler.dll"
    step "export after regsvr32" export_classes self
    step "regsvr32 /u ($a)" "$loader" regsvr32 /s /u "$dir\\zuvXCHandler.dll"
    rm -rf "$target"
    step "msiexec writes what regsvr32 writes ($bits-bit view)" \
        regdiff changes "$work/before.txt" "$work/msi.txt" "$work/self.txt" --view $bits
    ;;
lifecycle)
    step "install x64" install "$(msi x64)"
    step "x64 file in place" installed x64
    step "x64 script uses it" use x64
    step "x86 not yet usable" unusable x86
    step "install x86 beside it" install "$(msi x86)"
    step "x86 file in place" installed x86
    step "x86 script uses it" use x86
    step "x64 script still uses it" use x64
    step "type library win64 registered" typelib_key x64
    step "type library win32 registered" typelib_key x86
    # Repair puts back what was lost: a file and a registry key.  (The
    # property form of msiexec /fa, which Wine's msiexec lacks.)
    rm -f "$(unixdir x64)/zuvXCHandler.dll"
    "$wine64" reg delete 'HKCR\zuvXCHandler.xMenu' /f /reg:64 </dev/null >/dev/null 2>&1
    step "x64 broken" unusable x64
    step "repair x64" install "$(msi x64)" REINSTALL=ALL REINSTALLMODE=amus
    step "x64 repaired" use x64
    step "remove x64" uninstall "$(msi x64)"
    step "x64 gone" absent x64
    step "type library's shared key kept for x86" typelib_shared
    step "x64 no longer usable" unusable x64
    step "x86 still uses it" use x86
    step "type library win32 still registered" typelib_key x86
    step "remove x86" uninstall "$(msi x86)"
    step "x86 gone" absent x86
    ;;
upgrade-x64 | upgrade-x86)
    a=${case#upgrade-}
    arch $a
    next=$(echo "$version" | awk -F. '{ printf "%d.%d.%d.%d", $1, $2, $3, $4 + 1 }')
    step "build $next" sh -c "python3 '$src/installer/gen_installer.py' wxs --table '$src/surface/registration_table.h' \
        --header '$build/surface/zuvXCHandler.h' --version $next --arch $a --bin '$bin' -o '$work/next.wxs' &&
        wixl -a $a -o '$work/next.msi' '$work/next.wxs'"
    this=$(python3 "$src/installer/gen_installer.py" msiversion "$version")
    that=$(python3 "$src/installer/gen_installer.py" msiversion "$next")
    step "install $version" install "$(msi $a)"
    step "one product, $this" one_product $a "$this"
    step "install $next over it" install "$(winpath "$work/next.msi")"
    step "one product, $that" one_product $a "$that"
    step "used after the upgrade" use $a
    step "$version refuses to replace $next" sh -c "! '$wine64' msiexec /i '$(msi $a)' /qn"
    step "still one product, $that" one_product $a "$that"
    step "the older package is no longer installed" sh -c "! '$wine64' msiexec /x '$(msi $a)' /qn"
    step "remove $next" uninstall "$(winpath "$work/next.msi")"
    step "no product left" one_product $a ""
    step "gone" absent $a
    ;;
regfree)
    step "unpack the release package" python3 -m zipfile -e "$build/zuvXCHandler-$version.zip" "$work"
    step "not registered" unusable x64
    for a in x64 x86; do
        # A copy of the script host with a manifest naming the component's
        # assembly, beside the DLL and its manifest.
        app=$work/app-$a
        mkdir -p "$app"
        if [ $a = x64 ]; then system=system32; else system=syswow64; fi
        cp "$WINEPREFIX/drive_c/windows/$system/cscript.exe" "$work/zuvXCHandler-$version/$a/zuvXCHandler.dll" \
            "$work/zuvXCHandler-$version/zuvXCHandler.sxs.manifest" "$app/"
        cat >"$app/cscript.exe.manifest" <<MANIFEST
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="regfree.host" version="1.0.0.0"/>
  <dependency><dependentAssembly>
    <assemblyIdentity type="win32" name="zuvXCHandler.sxs" version="$version"/>
  </dependentAssembly></dependency>
</assembly>
MANIFEST
        step "$a program with the manifest uses it" use $a "$(winpath "$app/cscript.exe")"
    done
    ;;
*)
    echo "unknown case $case" >&2
    exit 2
    ;;
esac

if [ "$case" != prefix ]; then
    step "export after" export_classes after
    step "registry exactly as before" regdiff same "$work/before.txt" "$work/after.txt"
fi
echo "$failures failure(s)"
[ $failures -eq 0 ] && echo PASS
