#!/bin/sh
# check_binaries.sh (<objdump> <dll> <format>)...
# Each DLL must be of the given PE format, export exactly the four COM server
# entry points by their plain names, and import only from the system DLLs a
# statically linked automation server needs.
set -u
exports_expected="DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer"
imports_allowed="ADVAPI32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL OLEAUT32.DLL"
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

while [ $# -ge 3 ]; do
    objdump=$1 dll=$2 format=$3
    shift 3
    if [ ! -f "$dll" ]; then
        fail "$dll: missing"
        continue
    fi
    dump=$("$objdump" -p "$dll") || { fail "$dll: objdump failed"; continue; }

    actual_format=$("$objdump" -f "$dll" | sed -n 's/.*file format \([^ ]*\).*/\1/p')
    [ "$actual_format" = "$format" ] || fail "$dll: format $actual_format, expected $format"

    # Names from the export name table, one per line, sorted.
    exports=$(printf '%s\n' "$dump" |
        sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^[[:space:]]*\[ *[0-9]*\] \(.*\)$/\1/p' | sort -u | tr '\n' ' ' | sed 's/ $//')
    [ "$exports" = "$exports_expected" ] || fail "$dll: exports '$exports', expected '$exports_expected'"

    imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: \(.*\)$/\1/p' | tr 'a-z' 'A-Z' | sort -u)
    [ -n "$imports" ] || fail "$dll: no imports found"
    for dll_name in $imports; do
        case " $imports_allowed " in
        *" $dll_name "*) ;;
        *) fail "$dll: imports $dll_name" ;;
        esac
    done
    echo "$dll: $actual_format; exports: $exports; imports: $(echo $imports)"
done

if [ $# -ne 0 ]; then
    echo "usage: check_binaries.sh (<objdump> <dll> <format>)..." >&2
    exit 2
fi
if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
