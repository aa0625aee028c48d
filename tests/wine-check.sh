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
# A GoogleTest listing (--gtest_list_tests) is passed through untouched.
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
for arg; do
    [ "$arg" = --gtest_list_tests ] && exec "$run" "$@" </dev/null
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
