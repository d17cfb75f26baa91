#!/usr/bin/env bash
# Runs one Windows program under Wine with a hard time bound, so a hung
# program can never hang a test run. Used by ctest as the cross emulator.
set -u
: "${VARNU_WINE_TIMEOUT:=290}"
: "${WINEDEBUG:=-all}"
export WINEDEBUG
WINE_BIN=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
exec timeout -k 10 "$VARNU_WINE_TIMEOUT" "$WINE_BIN" "$@"
