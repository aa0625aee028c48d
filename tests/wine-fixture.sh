#!/bin/sh
# start|stop <wine-run.sh> <bin dir> [dll...]
# start: keeps one wineserver alive for the whole test run in the build's
# prefix and registers the DLLs there, in the order given; stop: ends it.
set -eu
action=$1 run=$2 bin=$3
shift 3

server_gone() {
    # -k ends the server and every process of the prefix; -w waits until it is gone.
    "$run" --server -k </dev/null >/dev/null 2>&1 || true
    "$run" --server -w </dev/null >/dev/null 2>&1 || true
}

case "$action" in
start)
    # A server left from the build or an interrupted run would end in the
    # middle of this run, or keep the persistent one from starting.
    server_gone
    # Not in the background: the server detaches itself (its output away from
    # ctest's pipes, or ctest waits for ever) once it accepts clients; a
    # client started earlier would start a short-lived server of its own.
    if ! "$run" --server -p </dev/null >/dev/null 2>&1; then
        echo "wine-fixture: the wineserver does not start"
        exit 1
    fi
    # Wine's background processes now, away from ctest's pipes (a test that
    # started them would hand its pipes on).  Not "wineboot -u": 35 s of
    # registering Wine's DLLs again in a prefix the build made up to date.
    "$run" wineboot </dev/null >/dev/null 2>&1 || echo "wine-fixture: wineboot exited with $?"
    log=$(mktemp)
    trap 'rm -f "$log"' EXIT
    for dll; do
        if ! "$run" regsvr32 /s "Z:$(echo "$bin/$dll" | tr / '\\')" </dev/null >"$log" 2>&1; then
            echo "wine-fixture: regsvr32 $bin/$dll failed:"
            cat "$log"
            exit 1
        fi
    done
    ;;
stop)
    server_gone
    ;;
*)
    echo "usage: wine-fixture.sh start|stop <wine-run.sh> <bin dir> [dll...]" >&2
    exit 2
    ;;
esac
