#!/bin/sh
# msi_test.sh <case> <build dir> <source dir>
# The installers under Wine, in a prefix of their own (<build>/installprefix,
# made on first use with the stand-in host registered for both
# architectures; the component itself is never left registered there).
#   prefix          make the prefix (first use only) and register xchost.dll
#   compare-x64|x86 what msiexec /i writes equals what regsvr32 writes
#   lifecycle       install, use, install the other architecture beside it,
#                   repair, remove one, remove both: registry as before
#   upgrade-x64|x86 a higher version replaces the installed one
#   regfree         the release package's DLLs and manifest, unregistered,
#                   used through a program's manifest (both architectures)
# Prints one line per step and PASS at the end when every step held.
set -u
case=$1 build=$2 src=$3
wine64=/usr/lib/wine/wine64 wine32=/usr/lib/wine/wine
server=/usr/lib/wine/wineserver64
[ -x "$server" ] || server=/usr/lib/wine/wineserver
export WINEPREFIX="$build/installprefix" WINEDEBUG=-all QEMU_RESERVED_VA=0x7fff0000
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" WINESERVER="$server"
version=$(sed -n 's/^project(zuvXCHandler VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
installers=$build/installer
work=$build/installwork/$case
rm -rf "$work"
mkdir -p "$work"
failures=0

winpath() { echo "Z:$1" | tr / '\\'; }
msi() { winpath "$installers/zuvXCHandler-$version-$1.msi"; }
# Where each package installs the component.
target() {
    if [ "$1" = x64 ]; then echo 'C:\Program Files\zuvXCHandler\zuvXCHandler.dll'
    else echo 'C:\Program Files (x86)\zuvXCHandler\zuvXCHandler.dll'; fi
}
unixtarget() { "$wine64" winepath -u "$(target "$1")" 2>/dev/null; }
loader() { if [ "$1" = x64 ]; then echo "$wine64"; else echo "$wine32"; fi; }
bits() { if [ "$1" = x64 ]; then echo 64; else echo 32; fi; }

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
same_as() { python3 "$src/tests/install/regdiff.py" same "$work/$1.txt" "$work/$2.txt"; }

# use <arch>: a script of that architecture creates the classes by ProgID
# and renders into the stand-in host.
use() {
    out=$("$(loader "$1")" cscript //nologo "$(winpath "$src/tests/install/use_component.vbs")" 2>&1 </dev/null)
    echo "$out"
    [ "$(echo "$out" | tr -d '\r' | grep -v '^qemu: ' | tail -n 1)" = PASS ]
}
unusable() { ! use "$1"; }
installed() { [ -f "$(unixtarget "$1")" ]; }
absent() { [ ! -e "$(dirname "$(unixtarget "$1")")" ]; }
# The type library's platform key in the view of that architecture.
typelib_key() {
    "$wine64" reg query 'HKCR\TypeLib\{E6E8AD39-7197-493C-AB54-FF584058D9BF}\1.1\409\win'"$(bits "$1")" \
        /reg:"$(bits "$1")"
}
# The type library's version key, which both packages share.
typelib_shared() {
    "$wine64" reg query 'HKCR\TypeLib\{E6E8AD39-7197-493C-AB54-FF584058D9BF}\1.1' /ve | grep -q 'Command Bar Handler'
}
# The installed products of one architecture, with their versions.
products() {
    for key in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
        'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall'; do
        "$wine64" reg query "$key" /s 2>/dev/null
    done | tr -d '\r' | awk -v want="zuvXCHandler ($(bits "$1")-bit)" '
        /^HKEY/ { name = ""; version = "" }
        /DisplayName/ { sub(/.*REG_SZ +/, ""); name = $0 }
        /DisplayVersion/ { sub(/.*REG_SZ +/, ""); version = $0 }
        name == want && version != "" { print version; name = "" }'
}
one_product() {
    found=$(products "$1" | tr '\n' ' ' | sed 's/ $//')
    echo "installed: [$found]"
    [ "$found" = "$2" ]
}

if [ ! -x "$wine32" ] || ! grep -qs '^enabled' /proc/sys/fs/binfmt_misc/qemu-i386; then
    echo "32-bit Wine is missing (wine32:i386 run by qemu-user-static): sh tools/i686-run.sh install" >&2
    exit 1
fi
"$server" -k >/dev/null 2>&1 || true
if [ "$case" = prefix ]; then
    if [ ! -f "$WINEPREFIX/.zuv-ready" ]; then
        echo "creating $WINEPREFIX"
        "$wine64" wineboot -u </dev/null >/dev/null 2>&1
        "$server" -w
        touch "$WINEPREFIX/.zuv-ready"
    fi
fi
"$server" -p </dev/null >/dev/null 2>&1 &
trap '"$server" -k >/dev/null 2>&1' EXIT

case "$case" in
prefix)
    step "register the stand-in host (x64)" "$wine64" regsvr32 /s "$(winpath "$build/bin/xchost.dll")"
    step "register the stand-in host (x86)" "$wine32" regsvr32 /s "$(winpath "$build/i686/bin/xchost.dll")"
    # The script hosts register Wine's own script libraries on first use:
    # done here, before any test takes its "before" picture.
    echo 'WScript.Echo "PASS"' >"$work/warm.vbs"
    step "script host (x64)" "$wine64" cscript //nologo "$(winpath "$work/warm.vbs")"
    step "script host (x86)" "$wine32" cscript //nologo "$(winpath "$work/warm.vbs")"
    ;;
compare-x64 | compare-x86)
    arch=${case#compare-}
    step "export before" export_classes base
    step "msiexec /i ($arch)" "$wine64" msiexec /i "$(msi "$arch")" /qn
    step "export after msiexec" export_classes msi
    step "msiexec /x ($arch)" "$wine64" msiexec /x "$(msi "$arch")" /qn
    # The same file at the same place, registered by itself.
    mkdir -p "$(dirname "$(unixtarget "$arch")")"
    if [ "$arch" = x64 ]; then cp "$build/bin/zuvXCHandler.dll" "$(unixtarget "$arch")"
    else cp "$build/i686/bin/zuvXCHandler.dll" "$(unixtarget "$arch")"; fi
    step "regsvr32 ($arch)" "$(loader "$arch")" regsvr32 /s "$(target "$arch")"
    step "export after regsvr32" export_classes self
    step "regsvr32 /u ($arch)" "$(loader "$arch")" regsvr32 /s /u "$(target "$arch")"
    rm -rf "$(dirname "$(unixtarget "$arch")")"
    step "msiexec writes what regsvr32 writes ($(bits "$arch")-bit view)" \
        python3 "$src/tests/install/regdiff.py" changes "$work/base.txt" "$work/msi.txt" "$work/self.txt" \
        --view "$(bits "$arch")"
    step "export at the end" export_classes end
    step "registry as before" same_as base end
    ;;
lifecycle)
    step "export before" export_classes before
    step "install x64" "$wine64" msiexec /i "$(msi x64)" /qn
    step "x64 file in place" installed x64
    step "x64 script uses it" use x64
    step "x86 not yet usable" unusable x86
    step "install x86 beside it" "$wine64" msiexec /i "$(msi x86)" /qn
    step "x86 file in place" installed x86
    step "x86 script uses it" use x86
    step "x64 script still uses it" use x64
    step "type library win64 registered" typelib_key x64
    step "type library win32 registered" typelib_key x86
    # Repair puts back what was lost: a file and a registry key.  (The
    # property form of msiexec /fa, which Wine's msiexec lacks.)
    rm -f "$(unixtarget x64)"
    "$wine64" reg delete 'HKCR\zuvXCHandler.xMenu' /f /reg:64 </dev/null >/dev/null 2>&1
    step "x64 broken" unusable x64
    step "repair x64" "$wine64" msiexec /i "$(msi x64)" REINSTALL=ALL REINSTALLMODE=amus /qn
    step "x64 repaired" use x64
    step "remove x64" "$wine64" msiexec /x "$(msi x64)" /qn
    step "x64 gone" absent x64
    step "type library's shared key kept for x86" typelib_shared
    step "x64 no longer usable" unusable x64
    step "x86 still uses it" use x86
    step "type library win32 still registered" typelib_key x86
    step "remove x86" "$wine64" msiexec /x "$(msi x86)" /qn
    step "x86 gone" absent x86
    step "export after" export_classes after
    step "registry exactly as before" same_as before after
    ;;
upgrade-x64 | upgrade-x86)
    arch=${case#upgrade-}
    next=$(echo "$version" | awk -F. '{ printf "%d.%d.%d.%d", $1, $2, $3, $4 + 1 }')
    if [ "$arch" = x64 ]; then bin=$build/bin; else bin=$build/i686/bin; fi
    step "build $next" sh -c "python3 '$src/installer/gen_installer.py' wxs --table '$src/surface/registration_table.h' \
        --header '$build/surface/zuvXCHandler.h' --version $next --arch $arch --bin '$bin' -o '$work/next.wxs' &&
        wixl -a $arch -o '$work/next.msi' '$work/next.wxs'"
    this=$(python3 "$src/installer/gen_installer.py" msiversion "$version")
    that=$(python3 "$src/installer/gen_installer.py" msiversion "$next")
    step "export before" export_classes before
    step "install $version" "$wine64" msiexec /i "$(msi "$arch")" /qn
    step "one product, $this" one_product "$arch" "$this"
    step "install $next over it" "$wine64" msiexec /i "$(winpath "$work/next.msi")" /qn
    step "one product, $that" one_product "$arch" "$that"
    step "used after the upgrade" use "$arch"
    step "$version refuses to replace $next" sh -c "! '$wine64' msiexec /i '$(msi "$arch")' /qn"
    step "still one product, $that" one_product "$arch" "$that"
    step "the older package is no longer installed" sh -c "! '$wine64' msiexec /x '$(msi "$arch")' /qn"
    step "remove $next" "$wine64" msiexec /x "$(winpath "$work/next.msi")" /qn
    step "no product left" one_product "$arch" ""
    step "gone" absent "$arch"
    step "export after" export_classes after
    step "registry exactly as before" same_as before after
    ;;
regfree)
    step "export before" export_classes before
    step "unpack the release package" python3 -m zipfile -e "$build/zuvXCHandler-$version.zip" "$work"
    step "not registered" unusable x64
    for arch in x64 x86; do
        # A copy of the script host with a manifest naming the component's
        # assembly, beside the DLL and its manifest.
        app=$work/app-$arch
        mkdir -p "$app"
        if [ "$arch" = x64 ]; then system=system32; else system=syswow64; fi
        cp "$WINEPREFIX/drive_c/windows/$system/cscript.exe" "$app/"
        cp "$work/zuvXCHandler-$version/$arch/zuvXCHandler.dll" "$work/zuvXCHandler-$version/zuvXCHandler.sxs.manifest" "$app/"
        cat >"$app/cscript.exe.manifest" <<MANIFEST
<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
  <assemblyIdentity type="win32" name="regfree.host" version="1.0.0.0"/>
  <dependency><dependentAssembly>
    <assemblyIdentity type="win32" name="zuvXCHandler.sxs" version="$version"/>
  </dependentAssembly></dependency>
</assembly>
MANIFEST
        step "$arch program with the manifest uses it" sh -c "'$(loader "$arch")' '$(winpath "$app/cscript.exe")' //nologo \
            '$(winpath "$src/tests/install/use_component.vbs")' </dev/null | tr -d '\r' | grep -v '^qemu: ' | tail -n 1 | grep -qx PASS"
    done
    step "export after" export_classes after
    step "registry untouched" same_as before after
    ;;
*)
    echo "unknown case $case" >&2
    exit 2
    ;;
esac

echo "$failures failure(s)"
[ $failures -eq 0 ] && echo PASS
