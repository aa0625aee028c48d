#!/bin/sh
# start|stop <wine-run.sh> <wineserver> <prefix> <bin dir>
# start: keeps one wineserver alive for the whole test run and registers the
# stand-in host and the component in the build's prefix; stop: ends it.
set -e
action=$1 run=$2 server=$3 prefix=$4 bin=$5
export WINEPREFIX="$prefix"
case "$action" in
start)
    # Detached from ctest's pipes, or ctest waits for it forever.
    "$server" -p </dev/null >/dev/null 2>&1 &
    "$run" wineboot -u </dev/null >/dev/null 2>&1 || true
    for dll in xchost.dll zuvXCHandler.dll zuvXCHandlerAudit.dll; do
        "$run" regsvr32 /s "Z:$bin/$dll" </dev/null
    done
    ;;
stop)
    "$server" -k </dev/null >/dev/null 2>&1 || true
    "$server" -w </dev/null >/dev/null 2>&1 || true
    ;;
esac
