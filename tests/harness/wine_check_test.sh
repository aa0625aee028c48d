#!/bin/sh
# wine_check_test.sh <wine-check.sh>
# The runner's rules, with a stand-in for Wine that prints given lines and
# exits with a given code: each case says whether the run must pass.
set -u
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The stand-in runner: "<program>" is a file holding the exit code on its
# first line and the output after it.
cat >"$work/run" <<'RUN'
#!/bin/sh
[ "$1" = --args ] && { shift; echo "args: $*"; exit 0; }
# --flaky: fails its first run (a crashed wineserver), then answers as --args.
if [ "$1" = --flaky ]; then
    shift
    state=$(dirname "$0")/flaked
    [ -f "$state" ] || { touch "$state"; echo "half a listing"; exit 3; }
    echo "args: $*"
    exit 0
fi
tail -n +2 "$1"
exit "$(head -n 1 "$1")"
RUN
chmod +x "$work/run"
end="zuv-test: reached the end"
failures=0

# case <name> <pass|fail> <option or -> <exit code> <output lines...>
case_() {
    name=$1 want=$2 option=$3 code=$4
    shift 4
    { echo "$code"; for line; do printf '%s\n' "$line"; done; } >"$work/program"
    if [ "$option" = - ]; then set --; else set -- "$option"; fi
    if sh "$check" "$@" "$work/run" "$work/program" >"$work/out" 2>&1; then got=pass; else got=fail; fi
    if [ "$got" = "$want" ]; then
        echo "ok: $name"
    else
        echo "FAIL: $name: $got, expected $want; the runner said:"
        sed 's/^/    /' "$work/out"
        failures=$((failures + 1))
    fi
}

case_ "clean end"                          pass --end-line 0 "[  PASSED  ] 3 tests." "$end"
case_ "clean end, CR LF"                   pass --end-line 0 "$(printf '%s\r' "$end")"
case_ "qemu's lines from background processes" pass --end-line 0 \
      "qemu: uncaught target signal 11 (Segmentation fault) - core dumped" "$end"
case_ "crash reported, exit code 0"        fail --end-line 0 "$end" \
      "wine: Unhandled page fault on read access to 0000000000000000 at address 0000000140001608 (thread 0104), starting debugger..."
case_ "crash under qemu"                   fail -          29 \
      "wine: Unhandled illegal instruction at address 0040166B (thread 0024), starting debugger..."
case_ "no end line (died half-way)"        fail --end-line 0 "[ RUN      ] A.B"
case_ "end line not alone on its line"     fail --end-line 0 "echo $end"
case_ "non-zero exit after the end line"   fail --end-line 1 "$end"
case_ "non-zero exit, no end line needed"  fail -          3 "usage"
case_ "no end line needed"                 pass -          0 "OK: 0 problem(s)"

# listing <name> <expected output> <wine-check.sh arguments...>: a GoogleTest
# listing passes through as it is, arguments in order; a listing that fails
# once is run once more, and only the good one is passed on.
listing() {
    name=$1 want=$2
    shift 2
    if [ "$(sh "$check" "$@" 2>/dev/null)" = "$want" ]; then echo "ok: $name"; else
        echo "FAIL: $name"
        failures=$((failures + 1))
    fi
}
listing "listing passed through" "args: a --gtest_list_tests" --end-line "$work/run" --args a --gtest_list_tests
listing "a failed listing is retried once" "args: b --gtest_list_tests" "$work/run" --flaky b --gtest_list_tests

echo "$failures failure(s)"
[ $failures -eq 0 ]
