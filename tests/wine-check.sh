#!/bin/sh
# wine-check.sh [--end-line] <wine-run.sh> <program> [args...]
# Runs a test program under Wine and fails unless it exited with 0, Wine
# reported no "wine: Unhandled ..." exception (a crash does not always give a
# non-zero exit under Wine; under qemu it is an illegal instruction) and, with
# --end-line, it printed the end line (a script that dies exits 0 under
# Wine's cscript).  qemu's "uncaught target signal" lines come from Wine's
# background processes and are no failure.  A GoogleTest listing is passed
# through with one logged retry: it runs at build time without a persistent
# wineserver, and Wine's server has been seen to crash there under load.
set -u
end_line="zuv-test: reached the end"
need_end=0
if [ "${1:-}" = --end-line ]; then
    need_end=1
    shift
fi
[ $# -ge 2 ] || { echo "usage: wine-check.sh [--end-line] <wine-run.sh> <program> [args...]" >&2; exit 2; }
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
