#!/usr/bin/env bash
# The main job: shows what every built module tells a host, in both builds.
set -euo pipefail
cd "$(dirname "$0")/.."
for bundle in build/linux/bundles/*.vst3; do
  echo "== linux: $bundle"
  build/linux/host/tarnwell-host info "$bundle"
done
source scripts/wine-session.sh "$PWD/build/windows/wineprefix"
trap wine_session_end EXIT
for bundle in build/windows/bundles/*.vst3; do
  echo "== windows: $bundle"
  "$wine_bin" build/windows/host/tarnwell-host.exe info "Z:$PWD/$bundle"
done
