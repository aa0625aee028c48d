#!/bin/sh
# xvfb-run.sh <command> [args...]
# Runs a command on a virtual display of its own: starts Xvfb on the first
# free display number from 90, runs the command with DISPLAY set to it, and
# stops that Xvfb (by its process id) however the command ends.  The exit
# status is the command's.
set -u
if ! command -v Xvfb >/dev/null 2>&1; then
    echo "xvfb-run.sh: Xvfb is not installed (Debian package xvfb; tools/run.sh installs it)" >&2
    exit 2
fi
n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do
    n=$((n + 1))
done
Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null' EXIT INT TERM
i=0
while [ ! -e "/tmp/.X11-unix/X$n" ]; do
    i=$((i + 1))
    if [ $i -gt 100 ] || ! kill -0 "$xvfb" 2>/dev/null; then
        echo "xvfb-run.sh: Xvfb did not start on :$n" >&2
        exit 2
    fi
    sleep 0.1
done
DISPLAY=":$n" "$@"
