#!/bin/sh
# registration_roundtrip.sh <wine64> <wineserver> <prefix> <dll> <regcheck.exe>
# In a private prefix (made on first use, then reused): register the DLL
# twice, check every entry, unregister, check nothing of it is left and that
# the rest of HKEY_CLASSES_ROOT is exactly as before; unregistering again
# must succeed and change nothing.
set -u
wine=$1 server=$2 prefix=$3 dll=$4 regcheck=$5
export WINEPREFIX="$prefix" WINEDEBUG=-all QEMU_RESERVED_VA=0x7fff0000 WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
windll="Z:$(echo "$dll" | tr / '\\')"
work=$prefix.work
mkdir -p "$work"
failures=0

step() {
    desc=$1
    shift
    if "$@" </dev/null; then
        echo "ok: $desc"
    else
        echo "FAIL ($?): $desc"
        failures=$((failures + 1))
    fi
}

export_classes() {
    rm -f "$work/$1.reg"
    "$wine" regedit /E "Z:$(echo "$work/$1.reg" | tr / '\\')" HKEY_CLASSES_ROOT </dev/null &&
        iconv -f UTF-16 -t UTF-8 "$work/$1.reg" >"$work/$1.txt"
}

# A server left behind by an interrupted run of this test would keep the
# prefix busy (this prefix belongs to this test alone).
"$server" -k >/dev/null 2>&1 || true
if [ ! -f "$prefix/.zuv-ready" ]; then
    echo "creating $prefix"
    "$wine" wineboot -u </dev/null >/dev/null 2>&1
    "$server" -w
    touch "$prefix/.zuv-ready"
fi
# One server for the whole sequence; ended below.
"$server" -p </dev/null >/dev/null 2>&1 &
trap '"$server" -k >/dev/null 2>&1' EXIT

# A prefix left registered by an interrupted run starts clean again.
"$wine" reg delete 'HKCR\TypeLib\{E6E8AD39-7197-493C-AB54-FF584058D9BF}\1.1\409\win32' /f </dev/null >/dev/null 2>&1
"$wine" regsvr32 /s /u "$windll" </dev/null >/dev/null 2>&1

step "export before" export_classes before
step "regsvr32" "$wine" regsvr32 /s "$windll"
step "regsvr32 again" "$wine" regsvr32 /s "$windll"
step "entries present" "$wine" "$regcheck" registered "$windll"
step "regsvr32 /u" "$wine" regsvr32 /s /u "$windll"
step "entries removed" "$wine" "$regcheck" clean
step "export after" export_classes after
if diff "$work/before.txt" "$work/after.txt" >"$work/diff.txt"; then
    echo "ok: HKEY_CLASSES_ROOT unchanged by the round trip"
else
    echo "FAIL: HKEY_CLASSES_ROOT differs after the round trip:"
    head -40 "$work/diff.txt"
    failures=$((failures + 1))
fi
step "regsvr32 /u when not registered" "$wine" regsvr32 /s /u "$windll"
step "export after second unregistration" export_classes again
if ! diff -q "$work/before.txt" "$work/again.txt" >/dev/null; then
    echo "FAIL: a second unregistration changed HKEY_CLASSES_ROOT"
    failures=$((failures + 1))
fi

# The other architecture registered too: its type-library subkey (the
# TypeLib key is shared by both registry views) and its interface keys (in
# the 32-bit view) stay through this build's registration round trip.
libkey='HKCR\TypeLib\{E6E8AD39-7197-493C-AB54-FF584058D9BF}\1.1'
other_iface='HKCR\Wow6432Node\Interface\{B9BA865F-1693-4B49-914C-69928F3D0987}'
other() {
    "$wine" reg "$@" </dev/null >/dev/null 2>&1
}
other add "$libkey" /ve /d zuvXCHandler /f &&
    other add "$libkey\409\win32" /ve /d 'C:\x86\zuvXCHandler.dll' /f &&
    other add "$libkey\FLAGS" /ve /d 0 /f &&
    other add "$libkey\HELPDIR" /ve /d 'C:\x86' /f &&
    other add "$other_iface" /ve /d _xMenu /f &&
    other add "$other_iface\TypeLib" /ve /d '{E6E8AD39-7197-493C-AB54-FF584058D9BF}' /f ||
    { echo "FAIL: cannot create the other architecture's entries"; failures=$((failures + 1)); }
step "regsvr32 beside the other architecture" "$wine" regsvr32 /s "$windll"
step "regsvr32 /u beside the other architecture" "$wine" regsvr32 /s /u "$windll"
step "the other architecture's type library stays" sh -c \
    "'$wine' reg query '$libkey\\409\\win32' </dev/null 2>/dev/null | grep -q 'x86'"
step "the other architecture's interface keys stay" sh -c \
    "'$wine' reg query '$other_iface\\TypeLib' </dev/null 2>/dev/null | grep -q 'E6E8AD39'"
step "this architecture's type library is gone" sh -c \
    "! '$wine' reg query '$libkey\\409\\win64' </dev/null >/dev/null 2>&1"
# The other architecture goes: this build's registration, then the last
# unregistration, removes everything of the library from both views.
"$wine" regsvr32 /s "$windll" </dev/null
other delete "$libkey\409\win32" /f
step "regsvr32 /u as the last build" "$wine" regsvr32 /s /u "$windll"
step "export after the last unregistration" export_classes last
if ! diff -q "$work/before.txt" "$work/last.txt" >/dev/null; then
    echo "FAIL: the last unregistration left entries behind:"
    diff "$work/before.txt" "$work/last.txt" | head -20
    failures=$((failures + 1))
fi

echo "$failures failure(s)"
[ $failures -eq 0 ]
