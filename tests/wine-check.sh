#!/bin/sh
# wine-check.sh [--end-line] <wine-run.sh> <program> [args...]
# Runs a test program under Wine and fails unless it ended well:
# - it exits with 0;
# - Wine reported no unhandled exception ("wine: Unhandled ...").  A program
#   that crashes does not always exit non-zero under Wine (a crash while the
#   process shuts down keeps the exit code already given), and under qemu an
#   access violation arrives as an illegal instruction;
# - with --end-line: it printed the line the test programs and scripts print
#   as their very last act, which one that died half-way never does (Wine's
#   cscript exits 0 on an uncaught run-time error).
# qemu's "uncaught target signal" lines come from Wine's background
# processes, not from the program, and are no reason to fail.
# A GoogleTest listing (--gtest_list_tests) is passed through, with one
# logged retry: it runs at build time, where no persistent wineserver is
# kept, and Wine's own server has been seen to crash there under load (its
# clients then hang until the listing's time limit, failing the build).
set -u
end_line="zuv-test: reached the end"
need_end=0
if [ "${1:-}" = --end-line ]; then
    need_end=1
    shift
fi
if [ $# -lt 2 ]; then
    echo "usage: wine-check.sh [--end-line] <wine-run.sh> <program> [args...]" >&2
    exit 2
fi
run=$1
shift
list_tests() {
    listing=$(mktemp)
    for attempt in 1 2; do
        timeout 120 "$run" "$@" </dev/null >"$listing"
        rc=$?
        if [ $rc -eq 0 ]; then
            cat "$listing"
            rm -f "$listing"
            return 0
        fi
        echo "wine-check: listing the tests of $1 failed (exit $rc, attempt $attempt)" >&2
    done
    cat "$listing"
    rm -f "$listing"
    return $rc
}
for arg; do
    if [ "$arg" = --gtest_list_tests ]; then
        list_tests "$@"
        exit
    fi
done

out=$(mktemp)
trap 'rm -f "$out" "$out.rc"' EXIT
# The output goes on as it comes, so a test cut short by its time-out still shows it.
{ "$run" "$@" </dev/null 2>&1; echo $? >"$out.rc"; } | tee "$out"
rc=$(cat "$out.rc" 2>/dev/null || echo 255)

failures=0
fail() {
    echo "wine-check: FAIL: $*"
    failures=$((failures + 1))
}
crash=$(grep -m1 '^wine: Unhandled' "$out" || true)
[ -z "$crash" ] || fail "the program crashed: $crash"
[ "$rc" = 0 ] || fail "exit code $rc"
# (Lines may end in CR LF.)
if [ $need_end -eq 1 ] && ! tr -d '\r' <"$out" | grep -qx "$end_line"; then
    fail "the program did not reach its end (no line '$end_line'): it died or was cut short"
fi
[ $failures -eq 0 ]
