#!/bin/sh
# Makes a Wine prefix once: wine-prefix.sh <wine-run.sh> <prefix> <stamp>.
# Under qemu-user, 32-bit Wine's first boot now and then stops for good in
# the middle of installing its own files (seen: rundll32 in setupapi, no
# progress for twenty minutes, where it normally takes under one).  A boot
# that has not finished in five minutes is ended with every process of the
# prefix, the half-made prefix removed, and the boot made again.
set -u
run=$1 prefix=$2 stamp=$3
for attempt in 1 2 3; do
    if timeout 300 "$run" wineboot -u </dev/null; then
        "$run" --server -w </dev/null
        touch "$stamp"
        exit 0
    fi
    echo "wine-prefix: the first boot of $prefix did not finish (attempt $attempt)" >&2
    "$run" --server -k </dev/null >/dev/null 2>&1 || true
    "$run" --server -w </dev/null >/dev/null 2>&1 || true
    rm -rf "$prefix"
done
echo "wine-prefix: $prefix could not be made" >&2
exit 1
