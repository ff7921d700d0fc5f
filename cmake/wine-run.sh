#!/usr/bin/env bash
# Runs one Windows executable under 64-bit Wine. CTest calls this for every
# test of the win64 build. The prefix, display and server come from the
# environment that scripts/wine-tests.sh sets up; the defaults let a developer
# run a single test by hand from the build folder.
set -u
: "${WINEPREFIX:=${KAVREL_WINE_PREFIX:-$PWD/wineprefix}}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY="${DISPLAY:-:99}"
exec /usr/lib/wine/wine64 "$@"
