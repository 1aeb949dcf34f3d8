#!/usr/bin/env bash
# Runs a Windows executable under Wine: wine-run.sh PREFIX PROGRAM ARGS...
# CMake uses it as the cross-compiling emulator, so ctest runs Windows tests like native ones.
set -e
export WINEPREFIX="$1"; shift
export WINEDEBUG=-all
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
exec "$wine" "$@"
