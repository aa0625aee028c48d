#!/bin/sh
# script-example.sh <wine-run.sh> <bin dir> <script.vbs|.js>
# Registers the native command bars in the build's prefix (the test fixture
# registers the component and the stand-in host) and runs a script example
# under Wine's cscript.  The example prints "example: ok" when it passes.
set -eu
run=$1 bin=$2 script=$3
"$run" regsvr32 /s "Z:$bin/zuvNativeBars.dll" </dev/null
exec "$run" cscript //nologo "Z:$script" </dev/null
