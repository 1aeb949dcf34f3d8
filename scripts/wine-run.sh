#!/usr/bin/env bash
# Runs a Windows executable under Wine: wine-run.sh PREFIX PROGRAM ARGS...
# CMake uses it as the cross-compiling emulator, so ctest runs Windows tests like native ones,
# with or without a session of scripts/wine-session.sh around it.
set -e
source "$(dirname "$0")/wine-env.sh" "$1"
shift
wine_prepare_prefix
exec "$wine_bin" "$@"
