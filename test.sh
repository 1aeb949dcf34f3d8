#!/usr/bin/env bash
# Builds both builds and runs every test of both (Windows tests under Wine; the sweeps the
# sanitized build samples run whole in the release build), the concurrency
# suite under ThreadSanitizer, a short run of every fuzz target, and the third-party validators
# on the bundles a user installs (those whose paths the environment gives: .ci/run finds them).
set -euo pipefail
cd "$(dirname "$0")"
scripts/build-all.sh
echo "== linux tests"
ctest --preset linux
echo "== sweeps in the optimised build"
ctest --preset release
echo "== concurrency suite under ThreadSanitizer"
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan
echo "== fuzz targets (a short run of each from its seeds)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz
echo "== windows tests (under Wine)"
source scripts/wine-session.sh "$PWD/build/windows/wineprefix"
trap wine_session_end EXIT
ctest --preset windows
echo "== validators on build/dist/"
scripts/validate-bundles.sh
