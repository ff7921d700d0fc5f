#!/usr/bin/env bash
# Runs the win64 tests under Wine: one prefix inside the build folder, one
# Xvfb and one persistent wineserver for the whole run, both stopped at the
# end whatever the tests did. Extra arguments go to ctest.
# KAVREL_WIN64_BUILD chooses another win64 build folder (default build/win64).
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="${KAVREL_WIN64_BUILD:-$root/build/win64}"
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# A display number nobody else uses.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
export DISPLAY=":$display"

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1
  wait >/dev/null 2>&1
}
trap cleanup EXIT INT TERM

Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine-tests: creating the Wine prefix (once per build folder)"
  /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
  wineserver -w
fi
wineserver -p
# Start the prefix's background services now, with their output detached:
# started by a test, they would inherit its pipes and CTest would wait for
# them to close.
/usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1
ctest --test-dir "$build" --output-on-failure -j2 "$@"
