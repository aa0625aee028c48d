#!/bin/sh
# registration_roundtrip.sh <wine-run.sh> <prefix> <dll> <regcheck.exe> <table> [<template prefix>]
# In a private prefix (made on first use, as a copy of the template when one
# is given, then reused): register the DLL twice, check every entry of the
# table, unregister, check nothing of it is left and that the rest of
# HKEY_CLASSES_ROOT is exactly as before; unregistering again must succeed
# and change nothing.
set -u
run=$1 prefix=$2 dll=$3 regcheck=$4 table=$5 template=${6:-}
export ZUV_PREFIX="$prefix"
windll="Z:$(echo "$dll" | tr / '\\')"
wintable="Z:$(echo "$table" | tr / '\\')"
work=$prefix.work
mkdir -p "$work"
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
step() {
    desc=$1
    shift
    if "$@" </dev/null; then echo "ok: $desc"; else fail "($?) $desc"; fi
}

export_classes() {
    rm -f "$work/$1.reg"
    "$run" regedit /E "Z:$(echo "$work/$1.reg" | tr / '\\')" HKEY_CLASSES_ROOT </dev/null &&
        iconv -f UTF-16 -t UTF-8 "$work/$1.reg" >"$work/$1.txt"
}
# as_before <export> <what>: HKEY_CLASSES_ROOT is as it was before the first registration.
as_before() {
    if diff "$work/before.txt" "$work/$1.txt" >"$work/diff.txt"; then echo "ok: $2"; else
        fail "$2:"
        head -40 "$work/diff.txt"
    fi
}

# A server left behind by an interrupted run of this test would keep the
# prefix busy (this prefix belongs to this test alone).
"$run" --server -k >/dev/null 2>&1 || true
"$run" --server -w >/dev/null 2>&1 || true
if [ ! -f "$prefix/.zuv-ready" ] && [ -f "$template/.zuv-ready" ]; then
    # A copy takes seconds where a new prefix takes a minute or more.  What
    # the template has registered stays out of the comparison below, and the
    # component itself is unregistered first.
    echo "copying $template to $prefix"
    rm -rf "$prefix"
    cp -a "$template" "$prefix.new" && rm -f "$prefix.new/wineserver" && mv "$prefix.new" "$prefix"
fi
if [ ! -f "$prefix/.zuv-ready" ]; then
    echo "creating $prefix"
    sh "$(dirname "$0")/../../tools/wine-prefix.sh" "$run" "$prefix" "$prefix/.zuv-ready" >/dev/null 2>&1
fi
# One server for the whole sequence, ended below.  It detaches itself once
# it accepts clients (see tests/wine-fixture.sh).
if ! "$run" --server -p </dev/null >/dev/null 2>&1; then
    echo "FAIL: the wineserver does not start"
    exit 1
fi
trap '"$run" --server -k >/dev/null 2>&1' EXIT

# This build's platform subkey of the type library, and the other one's
# (the PE machine field: 0x8664 is x86_64, anything else here i386).
machine=$(python3 -c 'import struct,sys
d = open(sys.argv[1], "rb").read(4096)
print(struct.unpack_from("<H", d, struct.unpack_from("<I", d, 0x3c)[0] + 4)[0])' "$dll")
if [ "$machine" = 34404 ]; then own=win64 other_platform=win32; else own=win32 other_platform=win64; fi

# A prefix left registered by an interrupted run starts clean again.
"$run" reg delete "HKCR\\TypeLib\\{E6E8AD39-7197-493C-AB54-FF584058D9BF}\\1.1\\409\\$other_platform" /f </dev/null >/dev/null 2>&1
"$run" regsvr32 /s /u "$windll" </dev/null >/dev/null 2>&1

step "export before" export_classes before
step "regsvr32" "$run" regsvr32 /s "$windll"
step "regsvr32 again" "$run" regsvr32 /s "$windll"
step "entries present" "$run" "$regcheck" "$wintable" registered "$windll"
step "regsvr32 /u" "$run" regsvr32 /s /u "$windll"
step "entries removed" "$run" "$regcheck" "$wintable" clean
step "export after" export_classes after
as_before after "HKEY_CLASSES_ROOT unchanged by the round trip"
step "regsvr32 /u when not registered" "$run" regsvr32 /s /u "$windll"
step "export after second unregistration" export_classes again
as_before again "a second unregistration changes nothing"

# The other architecture registered too: its type-library subkey (the
# TypeLib key is shared by both registry views) and, in a 64-bit prefix, its
# interface keys (in the 32-bit view) stay through this build's round trip.
# A 32-bit prefix has one registry view: there only the type library's
# platform subkeys keep the two builds apart.
libkey='HKCR\TypeLib\{E6E8AD39-7197-493C-AB54-FF584058D9BF}\1.1'
other_iface='HKCR\Wow6432Node\Interface\{B9BA865F-1693-4B49-914C-69928F3D0987}'
other() {
    "$run" reg "$@" </dev/null >/dev/null 2>&1
}
other add "$libkey" /ve /d zuvXCHandler /f &&
    other add "$libkey\\409\\$other_platform" /ve /d 'C:\other\zuvXCHandler.dll' /f &&
    other add "$libkey\FLAGS" /ve /d 0 /f &&
    other add "$libkey\HELPDIR" /ve /d 'C:\other' /f ||
    fail "cannot create the other architecture's entries"
if [ "$own" = win64 ]; then
    other add "$other_iface" /ve /d _xMenu /f && other add "$other_iface\TypeLib" /ve /d '{E6E8AD39-7197-493C-AB54-FF584058D9BF}' /f ||
        fail "cannot create the other architecture's interface keys"
fi
step "regsvr32 beside the other architecture" "$run" regsvr32 /s "$windll"
step "regsvr32 /u beside the other architecture" "$run" regsvr32 /s /u "$windll"
step "the other architecture's type library stays" sh -c \
    "'$run' reg query '$libkey\\409\\$other_platform' </dev/null 2>/dev/null | grep -q 'other'"
if [ "$own" = win64 ]; then
    step "the other architecture's interface keys stay" sh -c \
        "'$run' reg query '$other_iface\\TypeLib' </dev/null 2>/dev/null | grep -q 'E6E8AD39'"
fi
step "this architecture's type library is gone" sh -c \
    "! '$run' reg query '$libkey\\409\\$own' </dev/null >/dev/null 2>&1"
# The other architecture goes: this build's registration, then the last
# unregistration, removes everything of the library from both views.
"$run" regsvr32 /s "$windll" </dev/null
other delete "$libkey\\409\\$other_platform" /f
step "regsvr32 /u as the last build" "$run" regsvr32 /s /u "$windll"
step "export after the last unregistration" export_classes last
as_before last "the last unregistration leaves nothing behind"

echo "$failures failure(s)"
[ $failures -eq 0 ]
