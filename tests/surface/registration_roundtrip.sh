#!/bin/sh
# registration_roundtrip.sh <wine-run.sh> <prefix> <dll> <regcheck.exe> [<template prefix>]
# In a private prefix (made on first use, as a copy of the template when one
# is given, then reused): register the DLL
# twice, check every entry, unregister, check nothing of it is left and that
# the rest of HKEY_CLASSES_ROOT is exactly as before; unregistering again
# must succeed and change nothing.
set -u
run=$1 prefix=$2 dll=$3 regcheck=$4 template=${5:-}
export ZUV_PREFIX="$prefix"
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
    "$run" regedit /E "Z:$(echo "$work/$1.reg" | tr / '\\')" HKEY_CLASSES_ROOT </dev/null &&
        iconv -f UTF-16 -t UTF-8 "$work/$1.reg" >"$work/$1.txt"
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
    "$run" wineboot -u </dev/null >/dev/null 2>&1
    "$run" --server -w
    touch "$prefix/.zuv-ready"
fi
# One server for the whole sequence, ended below.  It detaches itself once
# it accepts clients (see tests/wine-fixture.sh).
if ! "$run" --server -p </dev/null >/dev/null 2>&1; then
    echo "FAIL: the wineserver does not start"
    exit 1
fi
trap '"$run" --server -k >/dev/null 2>&1' EXIT

# A prefix left registered by an interrupted run starts clean again.
"$run" regsvr32 /s /u "$windll" </dev/null >/dev/null 2>&1

step "export before" export_classes before
step "regsvr32" "$run" regsvr32 /s "$windll"
step "regsvr32 again" "$run" regsvr32 /s "$windll"
step "entries present" "$run" "$regcheck" registered "$windll"
step "regsvr32 /u" "$run" regsvr32 /s /u "$windll"
step "entries removed" "$run" "$regcheck" clean
step "export after" export_classes after
if diff "$work/before.txt" "$work/after.txt" >"$work/diff.txt"; then
    echo "ok: HKEY_CLASSES_ROOT unchanged by the round trip"
else
    echo "FAIL: HKEY_CLASSES_ROOT differs after the round trip:"
    head -40 "$work/diff.txt"
    failures=$((failures + 1))
fi
step "regsvr32 /u when not registered" "$run" regsvr32 /s /u "$windll"
step "export after second unregistration" export_classes again
if ! diff -q "$work/before.txt" "$work/again.txt" >/dev/null; then
    echo "FAIL: a second unregistration changed HKEY_CLASSES_ROOT"
    failures=$((failures + 1))
fi

echo "$failures failure(s)"
[ $failures -eq 0 ]
