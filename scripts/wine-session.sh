#!/usr/bin/env bash
# Source this: prepares the Windows build's Wine prefix and keeps one wineserver alive,
# so that each test process does not pay Wine's start-up. wine_session_end stops it.
wine_prefix="$1"
export WINEPREFIX="$wine_prefix" WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
wine_bin=/usr/lib/wine/wine64
wineserver_bin=/usr/lib/wine/wineserver
[ -x "$wine_bin" ] || wine_bin=$(command -v wine64 || command -v wine)
[ -x "$wineserver_bin" ] || wineserver_bin=$(command -v wineserver)
mkdir -p "$wine_prefix"
"$wineserver_bin" -p
"$wine_bin" wineboot --init >/dev/null 2>&1 || true
wine_session_end() { "$wineserver_bin" -k >/dev/null 2>&1 || true; }
